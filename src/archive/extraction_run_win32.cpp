// ExtractionRun (see extraction_run.h). The list box's selection is the record of the run:
// an item is deselected when its entry was written with a good CRC-32 or skipped under the
// overwrite policy, so the items left selected are the failures and the entries not reached.
#include "archive/extraction_run.h"
#include "app/startup.h"
#include "app/state.h"
#include "archive/data_descriptor.h"
#include "archive/decrypt.h"
#include "archive/entry_name.h"
#include "dialogs/dialogs.h"
#include "inflate/inflate.h"
#include "inflate/stored_copy.h"
#include "resource.h"
#include "util/memory.h"
#include "util/paths.h"
#include "util/seek.h"
#include "util/strings.h"

namespace {

constexpr uint32_t NameBufferSize = 258;      // names of up to 257 bytes are read whole
constexpr uint32_t TargetPathSize = ExtractDirSize + NameBufferSize + 2;

enum class Step { NextEntry, EndWalk, EndWithoutClosing };

struct Run {
  HWND dialog;
  HWND list;
  bool listOnly;
  bool entryReady;       // a selected entry reached (and passed) its password stage
  uint8_t* nameBuffer;
  int32_t headerPos;
  EntryExtent extent;    // where the entry's data end and the next record begins
  char entryName[NameBufferSize];
  char targetPath[TargetPathSize];
  char madeDirectory[TargetPathSize];  // the directory last found or made for an entry
  // Entries that get a list item, counted in walk order: a listing stores the count in the
  // item's data, and an extraction finds each entry's item through itemOfEntry.
  int32_t listedCount = 0;
  int32_t itemCount = 0;
  const int32_t* itemOfEntry = nullptr;
};

void Message(const char* text, const char* caption, UINT icon) {
  MessageBoxA(nullptr, text, caption, MB_OK | icon);
}

void Deselect(const Run& run) { SendMessageA(run.list, LB_SETSEL, FALSE, ListSearchIndex); }

bool StoredPathsChecked(const Run& run) {
  return SendDlgItemMessageA(run.dialog, IDC_STORED_PATHS, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool HasPathSeparator(const char* name) {
  for (; *name != 0; ++name)
    if (IsPathSeparator(*name)) return true;
  return false;
}

int32_t DataPosition(const Run& run) {
  return run.headerPos + int32_t(LocalHeaderSize + LocalHeader.NameLength + LocalHeader.ExtraLength);
}

// Finds the entry's extent: from the local header alone, unless it defers its sizes to a data
// descriptor or to ZIP64 fields. The values found replace the header's zeros, so the data
// readers and the CRC-32 comparison use them.
void SettleExtent(Run& run) {
  const int32_t dataPos = DataPosition(run);
  const bool zip64 = LocalHeader.CompressedSize == 0xFFFFFFFF || LocalHeader.UncompressedSize == 0xFFFFFFFF;
  if (!(LocalHeader.Flags & FlagDataDescriptor) && !zip64) {
    const int64_t next = int64_t(dataPos) + LocalHeader.CompressedSize;
    run.extent = {next <= INT32_MAX, LocalHeader.CompressedSize, LocalHeader.Crc32, int32_t(next)};
    return;
  }
  uint32_t extraLength = zip64 ? LocalHeader.ExtraLength : 0;
  MemBlock extra(extraLength + 1);
  if (extraLength != 0) {
    SeekArchive(dataPos - int32_t(extraLength));
    if (FileRead(ArchiveHandle, extra.get(), extraLength) != int32_t(extraLength)) extraLength = 0;
  }
  run.extent = FindEntryExtent(dataPos, extra.get(), extraLength);
  LocalHeader.CompressedSize = run.extent.compressedSize;
  LocalHeader.Crc32 = run.extent.crc32;
}

// Reads the encryption header and finds a password that opens it: the one kept from before
// first, then at most three from the password dialog. A header cut short by the end of the
// file cannot be tested: the entry then simply fails.
enum class PasswordResult { Open, Refused, CutShort };

PasswordResult SettlePassword() {
  uint8_t headerBuffer[2 * EncryptionHeaderSize];
  if (FileRead(ArchiveHandle, headerBuffer, EncryptionHeaderSize) != int32_t(EncryptionHeaderSize))
    return PasswordResult::CutShort;
  for (uint32_t i = 0; i < EncryptionHeaderSize; ++i) headerBuffer[EncryptionHeaderSize + i] = headerBuffer[i];
  const uint32_t timeAndDate = LocalHeader.ModTime + 65536u * LocalHeader.ModDate;
  auto tryPassword = [&] {
    return DecryptHeader(headerBuffer, EncryptionHeaderSize, LocalHeader.Flags, LocalHeader.Crc32, timeAndDate,
                         Password);
  };
  bool ok = Password[0] != 0 && tryPassword();
  for (int attempt = 0; !ok && attempt < 3; ++attempt) {
    DialogBoxParamA(ModuleInstance, PWD_DIALOG, nullptr, PwdDlgProc, 0);
    BufferToString(PasswordBuffer, uint16_t(PasswordLength), Password, sizeof Password);
    ok = tryPassword();
  }
  return ok ? PasswordResult::Open : PasswordResult::Refused;
}

// Joins ExtractDir and the entry name. False when the result cannot be a file name for the
// system (ExtractDir without room for its backslash, or a path of MAX_PATH characters or more).
bool BuildTargetPath(Run& run) {
  const bool fits = AddBackslash(ExtractDir, ExtractDirSize);
  StrCopy(run.targetPath, ExtractDir, TargetPathSize);
  if (!fits) StrAppend(run.targetPath, "\\", TargetPathSize);
  StrAppend(run.targetPath, run.entryName, TargetPathSize);
  return ZStrLength(run.targetPath) < MAX_PATH;
}

// Applies the overwrite policy to an existing target, or creates the target's directories.
// Existence tests are directory searches, the costliest steps of a small entry. Overwriting
// without asking (policy 0, or any value but 1 and 2) needs none for the target: the file is
// written whether it is there or not, and in both cases its directory exists afterwards. Entries
// of one directory mostly follow each other: the directory found or made for the entry before
// is not searched for again.
Step PrepareTarget(Run& run, bool& skip) {
  skip = false;
  const bool policyAsks = OverwriteMode == OverwriteSkip || OverwriteMode == OverwriteAsk;
  if (!policyAsks) SlashesToBackslashes(run.targetPath);
  if (policyAsks && PathExists(run.targetPath)) {  // also turns every '/' of the target into '\'
    if (OverwriteMode == OverwriteSkip) {
      skip = true;
    } else {
      ExtractFileName(run.targetPath, ExistingFileName, FileNameSize);
      DialogBoxParamA(ModuleInstance, FILE_EXIST_DIALOG, nullptr, FileExistDlgProc, 0);
      skip = !OverwriteAnswer;
    }
    if (skip) Deselect(run);
    return Step::NextEntry;
  }
  char directory[TargetPathSize];
  ExtractFileDir(run.targetPath, directory, sizeof directory);
  if (run.madeDirectory[0] != 0 && StrEqual(directory, run.madeDirectory)) return Step::NextEntry;
  if (!ForceDirectories(directory) && !PathExists(directory)) {
    Message(directory, "Error Changing Dir", MB_ICONEXCLAMATION);
    return Step::EndWalk;
  }
  StrCopy(run.madeDirectory, directory, TargetPathSize);
  return Step::NextEntry;
}

// Hands one pending window message to its window, so the dialog stays alive between entries.
void PumpOneMessage() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Creates the output file, decodes the entry into it and checks its CRC-32.
Step WriteEntry(Run& run) {
  OutputHandle = reinterpret_cast<FileHandle>(CreateFileA(run.targetPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (OutputHandle == NoFile) {
    Message(run.targetPath, "Error Openning...", MB_ICONHAND);
    return Step::NextEntry;
  }
  // A dialog not on screen (with a.start the run happens while it initialises) leaves its
  // status line alone: laying the text out costs more than writing a small entry.
  if (IsWindowVisible(run.dialog)) {
    char status[TargetPathSize + 16] = "Extracting: ";
    StrAppend(status, run.targetPath, sizeof status);
    SetDlgItemTextA(run.dialog, IDC_STATUS, status);
  }
  PumpOneMessage();

  RunningCrc = 0xFFFFFFFF;
  CompressedLeft = int32_t(LocalHeader.CompressedSize);
  if (LocalHeader.Flags & FlagEncrypted) CompressedLeft -= int32_t(EncryptionHeaderSize);
  Step step = Step::NextEntry;
  if (LocalHeader.Method == 0 || LocalHeader.Method == 8) {
    if (LocalHeader.Method == 0) CopyStoredEntry();
    else InflateEntry();
    if ((RunningCrc ^ 0xFFFFFFFF) == LocalHeader.Crc32) Deselect(run);
  } else {
    Message("Unsupported compression method", "Unable to extract...", MB_ICONHAND);
    step = Step::EndWithoutClosing;
  }
  if (!CloseHandle(reinterpret_cast<HANDLE>(OutputHandle))) Message(run.targetPath, "Error Closing...", MB_ICONHAND);
  OutputHandle = NoFile;
  return step;
}

// Everything an extraction run does with one selected entry.
Step ExtractEntry(Run& run, bool nameCut) {
  // A name cut to the buffer or one that would leave the extraction directory is never
  // written: its item stays selected, and the run's closing message reports it.
  if (nameCut || !IsSafeEntryName(run.entryName)) {
    run.entryReady = true;
    return Step::NextEntry;
  }
  run.entryReady = false;
  SeekArchive(DataPosition(run));
  if (LocalHeader.Flags & FlagEncrypted) {
    const PasswordResult result = SettlePassword();
    if (result == PasswordResult::Refused) return Step::EndWalk;  // silently, no closing message
    run.entryReady = true;
    if (result == PasswordResult::CutShort) return Step::NextEntry;
  }
  run.entryReady = true;
  if (!BuildTargetPath(run)) {
    Message(run.targetPath, "Error Openning...", MB_ICONHAND);
    return Step::NextEntry;
  }
  bool skip;
  const Step prepared = PrepareTarget(run, skip);
  if (prepared != Step::NextEntry || skip) return prepared;
  return WriteEntry(run);
}

Step HandleEntry(Run& run) {
  run.headerPos = LastSeekPos;
  const uint32_t nameLength = LocalHeader.NameLength;
  const uint32_t wanted = nameLength < NameBufferSize ? nameLength : NameBufferSize;
  const int32_t got = nameLength == 0 ? 0 : FileRead(ArchiveHandle, run.nameBuffer, wanted);
  BufferToString(reinterpret_cast<char*>(run.nameBuffer), uint16_t(got > 0 ? got : 0), run.entryName,
                 NameBufferSize);
  if (run.entryName[0] == 0) {
    Message("Error retreiving filename.", "Zelvix error", MB_ICONHAND);
    return Step::EndWithoutClosing;
  }
  SettleExtent(run);
  if (!ArchiveHasPaths && HasPathSeparator(run.entryName)) ArchiveHasPaths = true;
  if (!StoredPathsChecked(run)) {
    char fileName[FileNameSize];
    ExtractFileName(run.entryName, fileName, sizeof fileName);
    StrCopy(run.entryName, fileName, NameBufferSize);
  }
  // Directory entries end in a separator and are never listed.
  const uint32_t length = ZStrLength(run.entryName);
  const bool listed = length > 0 && !IsPathSeparator(run.entryName[length - 1]);
  const int32_t ordinal = run.listedCount;
  run.listedCount += listed;
  if (run.listOnly) {
    if (listed) {
      const LRESULT item = SendMessageA(run.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(run.entryName));
      if (item >= 0) SendMessageA(run.list, LB_SETITEMDATA, WPARAM(item), ordinal);
    }
    return run.extent.known ? Step::NextEntry : Step::EndWalk;
  }
  // An entry whose end cannot be found is never written, and nothing after it can be reached:
  // the walk ends there and its closing message reports the items left selected.
  if (!run.extent.known) {
    run.entryReady = true;
    return Step::EndWalk;
  }
  if (!listed) {  // no item shows such a name: the search would find none
    ListSearchIndex = -1;
    return Step::NextEntry;
  }
  const int32_t likely = ordinal < run.itemCount ? run.itemOfEntry[ordinal] : -1;
  if (!IsEntrySelected(run.list, run.entryName, likely)) return Step::NextEntry;
  return ExtractEntry(run, nameLength >= NameBufferSize);
}

void CloseRun(Run& run, Step last) {
  if (last != Step::EndWithoutClosing) {
    if (!run.listOnly && run.entryReady) {
      if (SendMessageA(run.list, LB_GETSELCOUNT, 0, 0) == 0) {
        ExtractionOk = true;
        if (!OptAutoStart) Message("Extraction successful on all files !", "Zelvix result", MB_ICONINFORMATION);
      } else {
        Message("The remaining highlighted file (s) failed CRC validation", "Extraction Error", MB_ICONHAND);
      }
    }
    if (run.listOnly && SendMessageA(run.list, LB_GETCOUNT, 0, 0) == 0)
      Message("Can't read archive header", "Zelvix error", MB_ICONHAND);
  }
  if (!ArchiveHasPaths) {
    SendDlgItemMessageA(run.dialog, IDC_STORED_PATHS, BM_SETCHECK, BST_UNCHECKED, 0);
    EnableWindow(GetDlgItem(run.dialog, IDC_STORED_PATHS), FALSE);
  }
}

// Reads back which item the listing made for each entry (items move as sorted ones arrive).
void MapListedEntries(Run& run, int32_t* itemOfEntry) {
  for (int32_t item = 0; item < run.itemCount; ++item) itemOfEntry[item] = -1;
  for (int32_t item = 0; item < run.itemCount; ++item) {
    const LRESULT ordinal = SendMessageA(run.list, LB_GETITEMDATA, WPARAM(item), 0);
    if (ordinal >= 0 && ordinal < run.itemCount) itemOfEntry[ordinal] = item;
  }
  run.itemOfEntry = itemOfEntry;
}

struct RunGuard {
  RunGuard() { RunInProgress = true; }
  ~RunGuard() { RunInProgress = false; }
};

}  // namespace

void ExtractionRun(HWND dialog, bool ListOnly) {
  SeekArchive(ArchiveOffset);
  if (LastSeekPos == -1) {
    Message("Error finding attached archive.", "Zelvix error", MB_ICONHAND);
    return;
  }
  RunGuard guard;
  MemBlock nameBuffer(NameBufferSize);
  Run run{dialog, GetDlgItem(dialog, IDC_LIST), ListOnly, false, nameBuffer.get(), 0, {}, {}, {}, {}};
  ListSearchIndex = -1;
  ArchiveHasPaths = false;
  if (ListOnly) SendMessageA(run.list, LB_RESETCONTENT, 0, 0);
  else run.itemCount = int32_t(SendMessageA(run.list, LB_GETCOUNT, 0, 0));
  if (run.itemCount < 0) run.itemCount = 0;
  MemBlock itemOfEntry(uint32_t(run.itemCount) * sizeof(int32_t));
  MapListedEntries(run, reinterpret_cast<int32_t*>(itemOfEntry.get()));
  Step step = Step::NextEntry;
  while (step == Step::NextEntry && ReadLocalHeader()) {
    step = HandleEntry(run);
    if (step != Step::NextEntry) break;
    SeekArchive(run.extent.nextHeader);
  }
  CloseRun(run, step);
}
