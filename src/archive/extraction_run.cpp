// ExtractionRun (see extraction_run.h). The list's selection is the record of the run: an item
// is deselected when its entry was written with a good CRC-32 and closed, or skipped under the
// overwrite policy, so the items left selected are the failures and the entries not reached.
#include "archive/extraction_run.h"
#include <new>
#include "archive/entry_name.h"
#include "archive/entry_time.h"
#include "archive/solid.h"
#include "archive/walk.h"
#include "codec/stored_copy.h"
#include "inflate/huffman.h"
#include "inflate/inflate.h"
#include "lzma/lzma.h"
#include "util/fatal.h"
#include "util/memory.h"
#include "util/message.h"
#include "util/paths.h"
#include "util/strings.h"
#include "util/text.h"

FileHandle ArchiveHandle;  // set by start-up before any use; zero here keeps the stub free of a data section
int32_t ArchiveOffset;
char ExtractDir[ExtractDirSize];
uint8_t OverwriteMode;
bool ArchiveHasPaths;
bool ExtractionOk;
bool ExtractionFailed;
bool ExtractionCancelled;
SilentListState SilentList;

void ResetRunState() {
  ArchiveHandle = NoFile;
  ArchiveOffset = 0;
  ExtractDir[0] = 0;
  OverwriteMode = OverwriteAlways;
  ArchiveHasPaths = ExtractionOk = ExtractionFailed = ExtractionCancelled = false;
  SilentList = {};
}

namespace {

constexpr uint32_t NameBufferSize = 65536;     // decoded names, in UTF-8
constexpr uint32_t TargetPathSize = ExtractDirSize + NameBufferSize + 2;
// The longest path the system takes, in UTF-16 units, less the "\\?\" in front of it.
constexpr uint32_t MaxTargetUnits = 32767 - 4;
constexpr uint32_t WorkFolderName = 3 + RandomDigits;  // "~zx" and the digits

enum class Step { NextEntry, EndWalk, EndWithoutClosing };

struct Run {
  // The two paths that start empty take a terminator only: an initialiser would fill 64 KB.
  Run(const RunUi& host, bool listing) : ui(host), listOnly(listing) { madeDirectory[0] = workFolder[0] = 0; }
  const RunUi& ui;
  bool listOnly;
  bool entryReady = false;  // a selected entry reached (and passed) its password stage
  bool anySelected = false; // extraction runs: some item was selected at the start
  bool unsupportedSaid = false;  // "Unsupported compression method" was shown in this run
  bool namelessSaid = false;     // an entry without a name was met (and said) in this run
  bool nameDecoded = false;      // entryName holds the whole name
  int32_t listedCount = 0;  // entries that get a list item, in walk order
  int32_t item = -1;        // the item of the entry last searched for; the next search starts after it
  const EntryInput* input = nullptr;  // the entry being decoded, for KeepAlive
  SolidPayload* payload = nullptr;    // a solid package's, in an extraction run
  EntryWalk walk;
  char entryName[NameBufferSize];
  char targetPath[TargetPathSize];
  char directory[TargetPathSize];
  char madeDirectory[TargetPathSize];  // the directory last found or made for an entry
  char tempPath[TargetPathSize];  // the new file an entry is written to before it takes its name
  char workFolder[TargetPathSize];  // the folder tempPath is made in, "" while there is none
};

void Message(const char* text, const char* caption, uint32_t icon) { ShowMessage(text, caption, MsgOk | icon); }

bool HasPathSeparator(const char* name) {
  for (; *name != 0; ++name)
    if (IsPathSeparator(*name)) return true;
  return false;
}

// Whether the entry may be written: the central directory agrees with it, and its name may
// become a path (decoded whole, and not one that could leave the extraction directory or that
// Windows cannot hold).
bool EntryCanBeWritten(const Run& run) {
  return run.walk.listed && run.nameDecoded && IsSafeEntryName(run.entryName);
}

// Joins ExtractDir and the entry name, every '/' turned into '\'. False when the result cannot
// be a file name for the system (ExtractDir without room for its backslash, or a path longer
// than the system takes); the path then stays as joined.
bool BuildTargetPath(Run& run) {
  const bool fits = AddBackslash(ExtractDir, ExtractDirSize);
  StrCopy(run.targetPath, ExtractDir, TargetPathSize);
  if (!fits) StrAppend(run.targetPath, "\\", TargetPathSize);
  StrAppend(run.targetPath, run.entryName, TargetPathSize);
  if (Utf16Length(run.targetPath) > MaxTargetUnits) return false;
  SlashesToBackslashes(run.targetPath);
  return true;
}

// Finds or makes the directory of run.targetPath (backslashed): the part before its last
// separator, so "dir\sub\" for a directory entry gives "dir\sub" itself.
Step MakeTargetDirectory(Run& run) {
  char* directory = run.directory;
  ExtractFileDir(run.targetPath, directory, TargetPathSize);
  if (run.madeDirectory[0] != 0 && StrEqual(directory, run.madeDirectory)) return Step::NextEntry;
  if (!ForceDirectories(directory) && !PathExists(directory)) {
    Message(directory, "Error Changing Dir", MsgIconWarning);
    run.entryReady = true;  // the closing message reports the items left
    return Step::EndWalk;
  }
  StrCopy(run.madeDirectory, directory, TargetPathSize);
  return Step::NextEntry;
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
  if (policyAsks && PathExists(run.targetPath)) {
    if (OverwriteMode == OverwriteSkip) {
      skip = true;
    } else if (run.ui.askOverwrite != nullptr) {
      char existing[FileNameSize];
      ExtractFileName(run.targetPath, existing, FileNameSize);
      const OverwriteReply reply = run.ui.askOverwrite(existing);
      if (reply.stopAsking) OverwriteMode = reply.overwrite ? OverwriteAlways : OverwriteSkip;
      skip = !reply.overwrite;
    }
    if (skip) run.ui.deselect(run.item);
    return Step::NextEntry;
  }
  return MakeTargetDirectory(run);
}

// The output's progress call: how far the run has read into the package, for the window.
bool KeepAlive(void* context) {
  const Run& run = *static_cast<const Run*>(context);
  if (InIndex(run.walk)) return run.ui.keepAlive(run.payload->in.resumeAt);
  const int32_t left = run.input->left;
  const int32_t consumed = int32_t(run.walk.header.CompressedSize) - (left > 0 ? left : 0);
  return run.ui.keepAlive(run.walk.dataPos + consumed);
}

// Removes the work folder of the run, if it made one: empty by then, as each of its files took
// its name or was removed.
void LeaveWorkFolder(Run& run) {
  if (run.workFolder[0] != 0) RemoveEmptyDirectory(run.workFolder);
  run.workFolder[0] = 0;
}

// Makes the file an entry is first written to. It goes into a work folder inside the target's
// own directory (so the final rename stays on one volume), "~zx" and 16 hexadecimal digits drawn
// at random; a name that exists already is drawn again. A folder of its own, rather than a new
// name among the target's neighbours, since a name not found costs a search of its whole
// directory under Wine: in a folder that holds nothing else that is nothing. The folder serves
// the entries of that directory that follow; it is removed when an entry goes elsewhere and at
// the end of the run. NoFile when no file could be made.
FileHandle CreateBesideTarget(Run& run) {
  char* path = run.tempPath;
  ExtractFileDir(run.targetPath, path, TargetPathSize);
  if (!AddBackslash(path, TargetPathSize)) return NoFile;
  const uint32_t base = ZStrLength(path);
  if (base + WorkFolderName + 3 >= TargetPathSize) return NoFile;
  // The folder made for the entry before serves this one when its directory is the same.
  bool same = ZStrLength(run.workFolder) == base + WorkFolderName;
  for (uint32_t i = 0; same && i < base; ++i) same = run.workFolder[i] == path[i];
  if (!same) {
    LeaveWorkFolder(run);
    for (int attempt = 0; attempt < 16 && run.workFolder[0] == 0; ++attempt) {
      StrCopy(path + base, "~zx", 4);
      if (!AppendRandomDigits(path + base + 3)) return NoFile;
      if (MakeDirectory(path)) StrCopy(run.workFolder, path, TargetPathSize);
      else if (!PathExists(path)) return NoFile;
    }
    if (run.workFolder[0] == 0) return NoFile;
  }
  StrCopy(path, run.workFolder, TargetPathSize);
  StrAppend(path, "\\e", TargetPathSize);
  return FileCreateNew(path);
}

// Shows a failure to write an entry's file: the target's name, then the system's own reason.
void ReportWriteFailure(Run& run, uint32_t error) {
  char reason[512];
  SystemErrorText(error, reason, sizeof reason);
  StrCopy(run.tempPath, run.targetPath, TargetPathSize);
  StrAppend(run.tempPath, "\r\n", TargetPathSize);
  StrAppend(run.tempPath, reason, TargetPathSize);
  Message(run.tempPath, "Error Writing...", MsgIconError);
}

// Decodes the entry into a new file beside its target, checks it, and only when its CRC-32
// matched puts it in the target's place, in one rename that replaces a file there. On any
// failure the new file is removed and the target stays as it was. The rename goes through the
// open file, before it is closed: by its name afterwards it would cost a look-up more, which
// under Wine is a search of the target's directory. A close that fails after it fails the entry,
// whose bytes, all written and checked, then stand at the target's name. A write the system
// refused (a full disk, say) is told with the system's reason and ends the walk: later entries
// would meet it too; so does a stop the user asked for, before or during the entry, without a
// closing message. keys: the entry's, when encrypted.
Step WriteEntry(Run& run, const CipherKeys* keys) {
  const LocalFileHeader& header = run.walk.header;
  const FileHandle target = CreateBesideTarget(run);
  if (target == NoFile) {
    Message(run.targetPath, "Error Openning...", MsgIconError);
    return Step::NextEntry;
  }
  const bool goOn = run.ui.showProgress(run.targetPath);
  bool good;
  OutputFault fault;
  uint32_t error;
  {
    EntryInput in(ArchiveHandle, EntryDataSize(header), keys);
    in.flags = header.Flags;
    if (InIndex(run.walk)) in.source = run.payload;
    EntryOutput out(target);
    out.declaredSize = header.UncompressedSize;
    out.progress = KeepAlive;
    out.progressContext = &run;
    if (!goOn) out.fault = OutputFault::Cancelled;
    run.input = &in;
    good = out.fault == OutputFault::None && DecodeEntry(header, in, out);
    run.input = nullptr;
    fault = out.fault;
    error = out.error;
  }
  // The stored time goes on a file whose data came out right; a time the system refuses does
  // not fail the entry.
  if (good)
    SetStoredTime(target, EntryModifiedTime(run.walk.extra, header.ExtraLength, header.ModDate, header.ModTime));
  // The target's name itself may be one the system refuses (too long a component, say), or the
  // file there may be read-only, a directory or in use: the target cannot be made, as when it
  // cannot be opened.
  const bool renamed = good && FileReplace(target, run.tempPath, run.targetPath);
  if (good && !renamed) Message(run.targetPath, "Error Openning...", MsgIconError);
  const bool closed = FileClose(target);
  if (!closed) Message(run.targetPath, "Error Closing...", MsgIconError);
  // Renamed, the entry's data came out right: it has failed only if its file could not be closed.
  if (renamed) {
    if (closed) run.ui.deselect(run.item);
    return Step::NextEntry;
  }
  FileDelete(run.tempPath);
  if (fault == OutputFault::Cancelled) {
    ExtractionCancelled = true;
    return Step::EndWithoutClosing;
  }
  if (fault != OutputFault::WriteFailed) return Step::NextEntry;
  ReportWriteFailure(run, error);
  return Step::EndWalk;
}

// Everything an extraction run does with one selected entry.
Step ExtractEntry(Run& run) {
  // An entry the central directory does not list as it stands, a name cut to the buffer or one
  // that would leave the extraction directory is never written: its item stays selected, and
  // the run's closing message reports it.
  if (!EntryCanBeWritten(run)) {
    run.entryReady = true;
    return Step::NextEntry;
  }
  // A method that cannot be decoded (AES encryption, 99, among them) is said before any
  // password prompt, once per run, and no file is made for the entry: it fails alone, and the
  // run goes on with the next entry.
  const LocalFileHeader& header = run.walk.header;
  if (CodecFor(header.Method) == nullptr) {
    if (!run.unsupportedSaid)
      Message("Unsupported compression method", "Unable to extract...", MsgIconError);
    run.unsupportedSaid = true;
    run.entryReady = true;
    return Step::NextEntry;
  }
  run.entryReady = false;
  const bool encrypted = (header.Flags & FlagEncrypted) != 0;
  const bool solid = InIndex(run.walk);
  // An entry of the package file is read from its data on; a solid one from its payload, where
  // dataPos counts in the index.
  if (!solid) SeekArchive(ArchiveHandle, run.walk.dataPos);
  CipherKeys keys;  // set by SettlePassword, read only after Open
  // A solid payload's entries are never encrypted: such an entry fails alone.
  const PasswordResult password = !encrypted ? PasswordResult::Open
                                  : solid    ? PasswordResult::CutShort
                                             : SettlePassword(ArchiveHandle, header, run.ui.askPassword, keys);
  // Refused after the prompts: the walk ends silently, with no closing message. Where nobody
  // could be asked, only this entry fails.
  if (password == PasswordResult::Refused && run.ui.askPassword != nullptr) return Step::EndWalk;
  run.entryReady = true;
  if (password != PasswordResult::Open) return Step::NextEntry;
  // A payload that cannot bring the entry fails it and every entry after it.
  if (solid && !ReachEntry(*run.payload, run.walk)) {
    if (run.payload->out.fault != OutputFault::Cancelled) return Step::EndWalk;
    ExtractionCancelled = true;
    return Step::EndWithoutClosing;
  }
  if (!BuildTargetPath(run)) {
    Message(run.targetPath, "Error Openning...", MsgIconError);
    return Step::NextEntry;
  }
  bool skip;
  const Step prepared = PrepareTarget(run, skip);
  if (prepared == Step::NextEntry && !skip) return WriteEntry(run, encrypted ? &keys : nullptr);
  return prepared;
}

// A directory entry's own directory, when its name passes every check a file's name passes.
Step MakeEntryDirectory(Run& run) {
  if (!EntryCanBeWritten(run) || !BuildTargetPath(run)) return Step::NextEntry;
  return MakeTargetDirectory(run);
}

Step HandleEntry(Run& run) {
  const LocalFileHeader& header = run.walk.header;
  run.nameDecoded = DecodeEntryName(run.walk.name, header.NameLength, header.Flags, run.walk.extra,
                                    header.ExtraLength, run.entryName, NameBufferSize);
  // A nameless entry gets no item and is never written; it is said once per run, and the run
  // goes on. An extraction that met one has failed.
  if (run.entryName[0] == 0) {
    if (!run.namelessSaid) Message("Error retreiving filename.", "Zelvix error", MsgIconError);
    run.namelessSaid = true;
    if (run.anySelected) run.entryReady = true;
    return Step::NextEntry;
  }
  if (!ArchiveHasPaths && HasPathSeparator(run.entryName)) ArchiveHasPaths = true;
  if (!run.ui.storedPaths()) ExtractFileName(run.entryName, run.entryName, NameBufferSize);  // copied forward
  // Directory entries end in a separator and are never listed.
  const uint32_t length = ZStrLength(run.entryName);
  const bool listed = length > 0 && !IsPathSeparator(run.entryName[length - 1]);
  const int32_t ordinal = run.listedCount;
  run.listedCount += listed;
  if (run.listOnly) {
    if (listed) run.ui.addItem(run.entryName, ordinal);
    return Step::NextEntry;
  }
  if (!listed) {  // no item shows such a name: the search would find none
    run.item = -1;
    // A directory entry with its stored path (without, its file-name part is empty) is made,
    // empty as it may be, in a run that extracts anything at all.
    return length > 0 && run.anySelected ? MakeEntryDirectory(run) : Step::NextEntry;
  }
  const ListItem item = run.ui.findItem(run.entryName, ordinal, run.item);
  run.item = item.index;
  if (!item.selected) return Step::NextEntry;
  // An entry whose end cannot be found is never written, and the walk cannot go past it.
  if (!run.walk.endKnown) {
    run.entryReady = true;
    return Step::EndWalk;
  }
  return ExtractEntry(run);
}

void CloseRun(Run& run, Step last) {
  run.ui.end(ArchiveHasPaths);
  if (last != Step::EndWithoutClosing) {
    if (!run.listOnly && run.entryReady) {
      if (last == Step::NextEntry && run.ui.selectedCount() == 0 && !run.namelessSaid) {
        ExtractionOk = true;
        if (run.ui.announceSuccess) Message("Extraction successful on all files !", "Zelvix result", MsgIconInfo);
      } else {
        Message("The remaining highlighted file (s) failed CRC validation", "Extraction Error", MsgIconError);
      }
    }
    if (run.listOnly && run.listedCount == 0) Message("Can't read archive header", "Zelvix error", MsgIconError);
  }
}

}  // namespace

PasswordResult SettlePassword(FileHandle file, const LocalFileHeader& header, TypedPassword (*askPassword)(),
                              CipherKeys& keys) {
  uint8_t headerBuffer[2 * EncryptionHeaderSize];
  if (FileRead(file, headerBuffer, EncryptionHeaderSize) != int32_t(EncryptionHeaderSize)) return PasswordResult::CutShort;
  for (uint32_t i = 0; i < EncryptionHeaderSize; ++i) headerBuffer[EncryptionHeaderSize + i] = headerBuffer[i];
  const uint32_t timeAndDate = header.ModTime + 65536u * header.ModDate;
  // The passwords held, when there are any; then what each prompt brought, three at most. Writers
  // differ in the bytes they encrypt with: the ANSI code page, or UTF-8 (DecryptHeader refuses
  // an empty password).
  const char* const passwords[] = {Password, PasswordUtf8};
  for (int attempt = 0;; ++attempt) {
    if (attempt > 0 || Password[0] != 0)
      for (const char* password : passwords)
        if (DecryptHeader(keys, headerBuffer, EncryptionHeaderSize, header.Flags, header.Crc32, timeAndDate, password))
          return PasswordResult::Open;
    if (askPassword == nullptr || attempt == 3) return PasswordResult::Refused;
    const TypedPassword typed = askPassword();
    StrCopy(Password, typed.ansi, PasswordSize);
    StrCopy(PasswordUtf8, typed.utf8, PasswordSize);
  }
}

int32_t EntryDataSize(const LocalFileHeader& header) {
  const int32_t size = int32_t(header.CompressedSize);
  return (header.Flags & FlagEncrypted) ? size - int32_t(EncryptionHeaderSize) : size;
}

Codec CodecFor(uint16_t method) {
  if (method == 0) return CopyStored;
  if (method == 8) return Inflate;
  if (method == 14) return DecodeLzma;
  return nullptr;
}

bool DecodeEntry(const LocalFileHeader& header, EntryInput& in, EntryOutput& out) {
  const Codec codec = CodecFor(header.Method);
  return codec != nullptr && codec(in, out) && out.fault == OutputFault::None && OutputCrc(out) == header.Crc32;
}

namespace {

// The silent run's window: its list is SilentList.
const RunUi SilentUi{
    .begin =
        [](bool listOnly) {
          if (listOnly) SilentList.listed = 0;
          SilentList.deselected = 0;
        },
    .storedPaths = [] { return true; },
    .addItem = [](const char*, int32_t) { ++SilentList.listed; },
    .findItem = [](const char*, int32_t, int32_t) { return ListItem{0, true}; },  // each entry is met once
    .deselect = [](int32_t) { ++SilentList.deselected; },
    .selectedCount = [] { return SilentList.listed - SilentList.deselected; },
    .askPassword = nullptr,
    .askOverwrite = nullptr,
    .showProgress = [](const char*) { return true; },
    .keepAlive = [](int32_t) { return true; },
    .end = [](bool) {},
    .announceSuccess = false,
};

}  // namespace

void SilentListing() { ExtractionRun(SilentUi, true); }

void SilentExtraction() {
  OverwriteMode = OverwriteAlways;
  SilentListing();
  ExtractionRun(SilentUi, false);
}

namespace {

void WalkAndHandle(Run& run, const RunUi& ui, bool ListOnly) {
  if (!StartWalk(run.walk, ArchiveHandle, ArchiveOffset)) {
    Message("Error finding attached archive.", "Zelvix error", MsgIconError);
    return;
  }
  ArchiveHasPaths = false;
  ui.begin(ListOnly);
  run.anySelected = !ListOnly && ui.selectedCount() > 0;
  // Absolute once for the whole run: the system takes long paths only so.
  if (!ListOnly) MakeAbsolute(ExtractDir, ExtractDirSize);
  Step step = Step::NextEntry;
  // In a solid package the walk goes over the index's entries; their payload is decoded for
  // an extraction only.
  run.walk.entersIndex = true;
  MemBlock payloadBlock(sizeof(SolidPayload));
  while (step == Step::NextEntry && NextEntry(run.walk)) {
    const EntryWalk& walk = run.walk;
    if (InIndex(walk) && run.payload == nullptr && run.anySelected) {
      run.payload = new (payloadBlock.get()) SolidPayload(ArchiveHandle, walk.payload, walk.payloadPos);
      run.payload->out.progress = KeepAlive;
      run.payload->out.progressContext = &run;
    }
    step = HandleEntry(run);
  }
  if (run.payload != nullptr) run.payload->~SolidPayload();
  LeaveWorkFolder(run);
  // A header the file cannot hold whole, or one that points beyond what a package can hold:
  // the archive is damaged, and the program ends here.
  if (run.walk.stop == WalkStop::CutHeader || run.walk.stop == WalkStop::TooFar) {
    ShowMessage("Error reading header... Corrupted archive!", "Zelvix Error", MsgOk);
    ExitProgram(1);
  }
  // The items still selected are entries not written and verified; a walk ended early (a
  // directory that could not be made, a name that could not be read) failed too.
  if (run.anySelected) ExtractionFailed = step != Step::NextEntry || ui.selectedCount() > 0 || run.namelessSaid;
  CloseRun(run, step);
}

}  // namespace

void ExtractionRun(const RunUi& ui, bool ListOnly) {
  MemBlock block(sizeof(Run));  // names and paths of any length: too large for the stack
  Run& run = *new (block.get()) Run(ui, ListOnly);
  WalkAndHandle(run, ui, ListOnly);
  ReleaseSpareTables();
  run.~Run();
}
