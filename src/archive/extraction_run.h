// The one walk over the attached archive on behalf of the main dialog: a listing run fills its
// entry list; an extraction run writes the selected entries below ExtractDir, checks each
// against its CRC-32 and deselects those that came out right, so that the items left selected
// are the failures and the entries never reached. Everything decided here is portable; the
// window it serves is reached only through RunUi (dialogs/run_window_win32.cpp for the stub).
#pragma once
#include <cstdint>
#include "archive/decrypt.h"
#include "archive/local_header.h"
#include "codec/entry_io.h"
#include "util/file_io.h"

constexpr uint32_t ExtractDirSize = 32768;  // 32,767 bytes of UTF-8 and the terminating zero
constexpr uint32_t FileNameSize = 1024;     // a file-name part: 255 UTF-16 units, in UTF-8

enum OverwritePolicy : uint8_t { OverwriteAlways = 0, OverwriteSkip = 1, OverwriteAsk = 2 };

// What the runs work on and leave, program-wide. Start-up sets the archive; the main dialog
// (or a silent run) the directory and the policy.
extern FileHandle ArchiveHandle;  // the package file, open for reading
extern int32_t ArchiveOffset;     // the attached archive's first byte in it
extern char ExtractDir[ExtractDirSize];
extern uint8_t OverwriteMode;     // an OverwritePolicy
extern bool ArchiveHasPaths;      // the last run met a name with a directory in it
extern bool ExtractionOk;         // the last extraction run wrote and verified every selected entry
// The last extraction run left selected entries not written and verified (its exit code 2).
extern bool ExtractionFailed;
// An extraction run was stopped by the user (exit code 1223; the run failed, too, and the
// program ends after it).
extern bool ExtractionCancelled;
// The silent run's list: every entry listed counts as selected until it comes out right.
struct SilentListState {
  int32_t listed, deselected;
};
extern SilentListState SilentList;
// Puts all of the above back to its initial state (tests call it between cases).
void ResetRunState();

// A password as the prompt took it: in the ANSI code page, and as typed in UTF-8.
struct TypedPassword {
  char ansi[PasswordSize];
  char utf8[PasswordSize];
};
// The answer to "...already exists, overwrite?", and whether it stands for the rest of the run
// and for later runs ("Don't ask again").
struct OverwriteReply {
  bool overwrite;
  bool stopAsking;
};
// The list item that shows an entry's name: its index (-1 when no item does) and whether it is
// selected.
struct ListItem {
  int32_t index;
  bool selected;
};

// What a run asks of the window it serves. Every member is set, except the two questions
// (askPassword, askOverwrite): they are null where nobody can be asked, and then a password
// that the entry refuses fails only its own entry, and an existing file is overwritten.
// Fill it in with designated initialisers.
struct RunUi {
  // Start of a run, once the archive's start has been reached: a listing empties the list.
  void (*begin)(bool listOnly);
  // Whether "Use Stored Paths" is checked: names then keep their directories.
  bool (*storedPaths)();
  // Listing: adds an item; ordinal counts the listed entries in walk order from 0.
  void (*addItem)(const char* name, int32_t ordinal);
  // Extraction: the item of this name (letter case aside) found after item `after`, wrapping
  // around; of several such items, the next one still selected. ordinal is the entry's ordinal
  // of the listing (a hint; the answer must not depend on it).
  ListItem (*findItem)(const char* name, int32_t ordinal, int32_t after);
  // The entry of this item came out right or was skipped.
  void (*deselect)(int32_t item);
  int32_t (*selectedCount)();
  // The password dialog: what the user typed.
  TypedPassword (*askPassword)();
  // The overwrite question about the existing file of this name.
  OverwriteReply (*askOverwrite)(const char* fileName);
  // Shows "Extracting: " and the target, and lets the window handle one pending message.
  // False when the user asked to stop: the entry is not written and the run ends.
  bool (*showProgress)(const char* targetPath);
  // Called after each chunk written while an entry is decoded (32 KB at most apart); position:
  // how far into the package the run has read. The window answers its messages here. False
  // when the user asked to stop: the entry fails at once (its new file removed), the run ends
  // with no closing message, and ExtractionCancelled is set.
  bool (*keepAlive)(int32_t position);
  // End of a run, before its closing message: the window puts back what the run changed.
  // hasPaths false (an archive without stored directories): uncheck and disable the box.
  void (*end)(bool hasPaths);
  // Whether a sound extraction says so ("Extraction successful on all files !"); a package
  // that extracts on its own (a.start) does not.
  bool announceSuccess;
};

// One run over the archive at ArchiveOffset in ArchiveHandle. A header the file cannot hold
// whole, or one that points beyond what a package can hold, ends the program: "Error reading
// header... Corrupted archive!" (caption "Zelvix Error"), exit code 1.
void ExtractionRun(const RunUi& ui, bool ListOnly);

// Extracts every entry as a.start does, with no window to serve: a listing, then an extraction
// of everything listed, overwriting without asking, with no password prompt. The outcome is in
// ExtractionOk and ExtractionFailed.
void SilentExtraction();
// Its listing alone: SilentList.listed is then the number of entries listed.
void SilentListing();

// Outcome of the password stage of an encrypted entry, positioned at its encryption header.
enum class PasswordResult { Open, Refused, CutShort };

// Reads the 12-byte encryption header of the entry (header) from file and tests Password (and
// PasswordUtf8) on it; while that fails, at most three times, asks (askPassword, when set),
// takes what was typed as the passwords and tests them. After Open, keys stand ready for the
// entry's data. CutShort: the file ends inside the encryption header, so no password can be
// tested.
PasswordResult SettlePassword(FileHandle file, const LocalFileHeader& header, TypedPassword (*askPassword)(),
                              CipherKeys& keys);

// The codec of a compression method (stored 0, deflated 8, LZMA 14), null for one that cannot be decoded.
using Codec = bool (*)(EntryInput&, EntryOutput&);
Codec CodecFor(uint16_t method);

// Decodes the entry described by header from its input into its output and tells whether its
// data ended as the format says and the CRC-32 of what was written is the one the entry states.
// False also for a method CodecFor does not know.
bool DecodeEntry(const LocalFileHeader& header, EntryInput& in, EntryOutput& out);

// Bytes of the entry's data after its encryption header: what its input reads.
int32_t EntryDataSize(const LocalFileHeader& header);
