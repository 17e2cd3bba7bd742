// The one walk over the attached archive on behalf of the main dialog: a listing run fills its
// entry list; an extraction run writes the selected entries below ExtractDir, checks each
// against its CRC-32 and deselects those that came out right, so that the items left selected
// are the failures and the entries never reached. Everything decided here is portable; the
// window it serves is reached only through RunUi (extraction_run_win32.cpp for the stub).
#pragma once
#include <cstdint>

// What a run asks of the window it serves. Every member is set.
struct RunUi {
  // Start of a run, once the archive's start has been reached: a listing empties the list.
  void (*begin)(bool listOnly);
  // Whether "Use Stored Paths" is checked: names then keep their directories.
  bool (*storedPaths)();
  // Listing: adds an item; ordinal counts the listed entries in walk order from 0.
  void (*addItem)(const char* name, int32_t ordinal);
  // Extraction: finds the item of this name (letter case aside) after ListSearchIndex, wrapping
  // around, stores its index in ListSearchIndex and tells whether it is selected. ordinal is
  // the entry's ordinal of the listing (a hint; the answer must not depend on it).
  bool (*isSelected)(const char* name, int32_t ordinal);
  void (*deselect)();         // the item at ListSearchIndex: its entry came out right or was skipped
  int32_t (*selectedCount)();
  // The password dialog: leaves what the user typed in PasswordBuffer and PasswordLength.
  // Null where nobody can be asked: a refused password then fails only its own entry.
  void (*askPassword)();
  // The overwrite question about ExistingFileName: sets OverwriteAnswer (and maybe OverwriteMode).
  void (*askOverwrite)();
  // Shows "Extracting: " and the target, and lets the window handle one pending message.
  void (*showProgress)(const char* targetPath);
  // Called after each chunk written while an entry is decoded (32 KB at most apart); position:
  // how far into the package the run has read. The window answers its messages here.
  void (*keepAlive)(int32_t position);
  // After a run over an archive without stored directories: uncheck and disable the box.
  void (*disableStoredPaths)();
};

void ExtractionRun(const RunUi& ui, bool ListOnly);

// Extracts every entry as a.start does, with no window to serve: a listing, then an extraction
// of everything listed, overwriting without asking, with no password prompt. The outcome is in
// ExtractionOk and ExtractionFailed.
void SilentExtraction();

// Outcome of the password stage of an encrypted entry, positioned at its encryption header.
enum class PasswordResult { Open, Refused, CutShort };

// Reads the 12-byte encryption header and tests Password on it; while that fails, at most three
// times, asks (askPassword) and tests what was typed. After Open the keys are ready for the data.
// CutShort: the file ends inside the encryption header, so no password can be tested.
// A null askPassword asks nothing.
PasswordResult SettlePassword(void (*askPassword)());

// Decodes the entry in LocalHeader from the archive position of its data (past the encryption
// header, keys ready) into OutputHandle, and tells whether the CRC-32 of what was written is the
// one the entry states. False also for a method other than stored (0) and deflated (8).
bool DecodeEntry();
