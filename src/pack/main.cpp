// zelvix-pack: builds Zelvix packages on Linux and in CI, and lets authors check what they ship.
// A package of a ZIP file goes through the same WritePackage as the stub's builder mode, so both
// give the same bytes; a folder is packed into an archive zelvix-pack writes itself
// (folder_pack.h). Either way the archive is checked first (archive_check.h).
//
//   zelvix-pack [-o OUT] STUB ZIP [Options [ExtPath]]   build a package (default OUT: the
//                                                        stub's rule, archive.zip -> archive.exe)
//   zelvix-pack [-o OUT] [--method M] STUB DIR [Options [ExtPath]]
//                                                        pack a folder (default OUT: DIR.exe)
//   zelvix-pack --list PACKAGE                           options and entries of a package
//   zelvix-pack --dump PACKAGE OUT.zip                   write out the attached archive
//   zelvix-pack --help
//
// Every refusal is one line on stderr, "zelvix-pack: NAME: what went wrong" (NAME: the file
// concerned, or the argument at fault), and exit status 1; a package or dump that could not be
// written whole is removed. A malformed command line gives its usage text and exit status 2.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "archive/data_descriptor.h"
#include "archive/entry_name.h"
#include "archive/entry_time.h"
#include "archive/local_header.h"
#include "archive/walk.h"
#include "pack/archive_check.h"
#include "pack/folder_pack.h"
#include "pack/folder_scan.h"
#include "package/builder.h"
#include "package/locator.h"
#include "package/options_block.h"
#include "util/bytes.h"
#include "util/crc32.h"
#include "util/file_io.h"

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

const char UsageLine[] =
    "usage: zelvix-pack [-o OUT] STUB ZIP [Options [ExtPath]]\n"
    "       zelvix-pack [-o OUT] [--method solid|lzma|deflate|store] STUB DIR [Options [ExtPath]]\n"
    "       zelvix-pack --list PACKAGE\n"
    "       zelvix-pack --dump PACKAGE OUT.zip\n"
    "       zelvix-pack --help\n";

const char HelpText[] =
    "Builds a Zelvix package: a copy of the bare stub STUB, a 256-byte options block and the\n"
    "ZIP file ZIP, byte for byte what `zelvix.exe ZIP [Options [ExtPath]]` writes on Windows.\n"
    "The package is written to OUT, or else to the ZIP name up to its last '.' followed by\n"
    "\"exe\" (archive.zip gives archive.exe). Stub, block and ZIP file together may have at most\n"
    "2147483647 bytes (2 GiB - 1): the stub reads its package with 32-bit file positions.\n"
    "\n"
    "Given a folder DIR instead of a ZIP file, zelvix-pack writes the archive itself: every\n"
    "file below DIR and every empty folder, named relative to DIR with '/' (UTF-8, flagged when\n"
    "not ASCII), with its modification time (UTC in an extended-time field, and the machine's\n"
    "local time in the MS-DOS fields: TZ=UTC gives the same bytes on every machine) and Unix\n"
    "mode; the same tree gives the same bytes. Symbolic links are refused, not followed. The\n"
    "package goes to OUT, or else to DIR's name followed by \".exe\" (dist/ gives dist.exe).\n"
    "--method chooses how:\n"
    "  solid    (the default) all files in one LZMA stream: the smallest packages. The files\n"
    "           go into a stored inner archive, staged in $TMPDIR (or /tmp), that is compressed\n"
    "           whole behind an index of its headers; it may have at most 2147483647 bytes.\n"
    "  lzma     each file compressed by itself with LZMA (ZIP method 14),\n"
    "  deflate  each file deflated (method 8) at the highest level,\n"
    "           both storing a file that does not get smaller;\n"
    "  store    every file stored (method 0).\n"
    "\n"
    "Every archive is checked before it is packed: an entry the stub cannot decode (methods\n"
    "other than stored, deflate and LZMA; AES or strong encryption) is refused, and so is a\n"
    "missing setup.exe at the top of the archive (for a solid package, of its payload) when\n"
    "r.setup is on.\n"
    "\n"
    "Options: up to four characters '0' or '1', switching on these flags in this order\n"
    "(missing ones are '0'; \"101\" means a.start and r.setup):\n"
    "  a.start  the package extracts by itself as soon as its dialog opens,\n"
    "           then closes without the success message.\n"
    "  a.close  after an extraction started with the Extract button,\n"
    "           the dialog closes by itself.\n"
    "  r.setup  after a successful extraction and once the dialog has closed,\n"
    "           setup.exe is started from the extraction directory.\n"
    "  t.dir    the dialog proposes the system's temporary directory,\n"
    "           whatever the extract path says.\n"
    "\n"
    "ExtPath (at most 243 characters; the package reads back 241): the extraction directory\n"
    "proposed. Empty: a folder named after the package in the current directory; a name\n"
    "without '\\': that folder in the current directory; with a '\\': that directory itself.\n"
    "\n"
    "--list PACKAGE       prints the package's options and its entries (name, method, sizes,\n"
    "                     encryption), walking the local headers as the package does.\n"
    "--dump PACKAGE OUT   writes the attached ZIP archive to OUT.\n";

// A refusal: "zelvix-pack: NAME: what went wrong" on stderr, NAME being the file concerned or
// the argument at fault.
int Refuse(const std::string& name, const std::string& what) {
  std::fprintf(stderr, "zelvix-pack: %s: %s\n", name.c_str(), what.c_str());
  return ExitRefused;
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zelvix-pack: %s\n%s", text.c_str(), UsageLine);
  return ExitUsage;
}

// The system's words for an error code.
std::string SystemText(uint32_t error) { return std::strerror(int(error)); }

// Opens a regular file for reading; on failure fills why and returns NoFile. Directories and
// devices are refused here: reading one would fail, or never end, in the middle of a copy.
FileHandle OpenInput(const std::string& name, struct stat& info, std::string& why) {
  if (stat(name.c_str(), &info) != 0) {
    why = SystemText(uint32_t(errno));
    return NoFile;
  }
  if (!S_ISREG(info.st_mode)) {
    why = "not a regular file";
    return NoFile;
  }
  const FileHandle f = FileOpenRead(name.c_str());
  if (f == NoFile) why = SystemText(LastFileError());
  return f;
}

// Closes the input it holds when it goes out of scope, unless released to a routine that
// closes it.
class Input {
public:
  explicit Input(FileHandle f) : f_(f) {}
  ~Input() {
    if (f_ != NoFile) FileClose(f_);
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  FileHandle get() const { return f_; }
  FileHandle release() {
    const FileHandle f = f_;
    f_ = NoFile;
    return f;
  }
private:
  FileHandle f_;
};

bool SameFile(const struct stat& a, const std::string& name) {
  struct stat b;
  return stat(name.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Creates (or empties) an output file and notes what it is, for RemovePartial.
FileHandle CreateOutput(const std::string& name, struct stat& created) {
  const FileHandle f = FileCreate(name.c_str());
  if (f != NoFile && fstat(int(f), &created) != 0) created.st_mode = 0;
  return f;
}

// A package or dump that could not be written whole is removed, never left cut short; but only
// the regular file this run created: a device given as output (/dev/full) stays, and so does
// whatever has taken the name meanwhile.
void RemovePartial(const std::string& name, const struct stat& created) {
  struct stat now;
  if (S_ISREG(created.st_mode) && lstat(name.c_str(), &now) == 0 && S_ISREG(now.st_mode) &&
      now.st_dev == created.st_dev && now.st_ino == created.st_ino)
    unlink(name.c_str());
}

bool IsLocalSignature(const uint8_t* bytes) { return LoadLE32(bytes) == ZipLocalHeaderSignature; }

// Bare: a whole number of 256-byte blocks, and none of them begins with "PK\3\4" (the locator
// would take it for an attached archive and the package would show the wrong entries).
// Empty when it is; otherwise what is wrong.
std::string CheckBareStub(FileHandle stub, const struct stat& info) {
  if (info.st_size == 0) return "not a bare stub: the file is empty";
  if (info.st_size % PackageAlignment != 0)
    return "not a bare stub: its size " + std::to_string(info.st_size) + " is not a multiple of 256";
  uint8_t first[4] = {};
  const int32_t got = FileRead(stub, first, sizeof first);
  if (got < 0 || FileSeek(stub, 0) != 0) return SystemText(LastFileError());
  const bool startsWithZip = got == 4 && IsLocalSignature(first);
  const int32_t offset = FindArchiveOffset(stub, 0);
  if (offset < 0 || FileSeek(stub, 0) != 0) return SystemText(LastFileError());
  if (startsWithZip || offset != 0)
    return "not a bare stub: an archive is attached at offset " + std::to_string(offset);
  return "";
}

// The locator looks for the archive on a 256-byte boundary right behind the options block.
std::string CheckZipStart(FileHandle zip) {
  uint8_t signature[4] = {};
  const int32_t got = FileRead(zip, signature, sizeof signature);
  if (got < 0) return SystemText(LastFileError());
  if (got != 4 || !IsLocalSignature(signature)) return "does not begin with a ZIP local file header (PK\\3\\4)";
  return "";
}

bool ValidOptions(const std::string& options) {
  if (options.size() > 4) return false;
  for (char c : options)
    if (c != '0' && c != '1') return false;
  return true;
}

// The stub reads its package with 32-bit file positions: stub, block and ZIP file together
// must fit in 2^31 - 1 bytes.
constexpr uint64_t MaxPackageSize = INT32_MAX;

// The options block of the command line's Options and ExtPath; an empty refusal when they hold.
struct BlockRefusal {
  std::string name, what;
};
BlockRefusal ComposeBlock(const std::string& options, const std::string& extPath, uint8_t* block) {
  if (!ValidOptions(options)) return {options, "options must be at most four characters '0' or '1'"};
  if (!ComposeOptionsBlock(options.c_str(), extPath.c_str(), block))
    return {extPath, "extract path of " + std::to_string(extPath.size()) + " characters is too long (at most " +
                         std::to_string(MaxExtPathLength) + ")"};
  return {};
}

// r.setup, the third flag.
bool RunsSetup(const std::string& options) { return options.size() > 2 && options[2] == '1'; }

// Where a solid payload is staged: $TMPDIR, or /tmp.
std::string StagingDir() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && dir[0] != 0 ? dir : "/tmp";
}

// What the package would not unpack in the ZIP file: entries the stub cannot decode, a missing
// setup.exe, a solid archive whose payload does not hold. Empty when it is sound.
std::string CheckZipFile(FileHandle zip, bool needSetup) {
  const ArchiveFindings found = CheckArchive(zip, 0, ArchiveRole::Attached, needSetup);
  if (!found.problem.empty() || !found.solid) return found.problem;
  return CheckSolidPayload(zip, found, needSetup, StagingDir());
}

int Build(const std::vector<std::string>& args, std::string out) {
  const std::string& stubName = args[0];
  const std::string& zipName = args[1];
  const std::string options = args.size() > 2 ? args[2] : "";
  const std::string extPath = args.size() > 3 ? args[3] : "";
  uint8_t block[OptionsBlockSize];
  const BlockRefusal bad = ComposeBlock(options, extPath, block);
  if (!bad.what.empty()) return Refuse(bad.name, bad.what);

  std::string why;
  struct stat stubInfo, zipInfo;
  Input stub(OpenInput(stubName, stubInfo, why));
  if (stub.get() == NoFile) return Refuse(stubName, why);
  Input zip(OpenInput(zipName, zipInfo, why));
  if (zip.get() == NoFile) return Refuse(zipName, why);
  const uint64_t packageSize = uint64_t(stubInfo.st_size) + OptionsBlockSize + uint64_t(zipInfo.st_size);
  if (packageSize > MaxPackageSize)
    return Refuse(zipName, "too large: the package would have " + std::to_string(packageSize) +
                               " bytes, more than the 2147483647 (2 GiB - 1) the stub can read");
  why = CheckBareStub(stub.get(), stubInfo);
  if (!why.empty()) return Refuse(stubName, why);
  why = CheckZipStart(zip.get());
  if (!why.empty()) return Refuse(zipName, why);
  BuildCrcTable();
  why = CheckZipFile(zip.get(), RunsSetup(options));
  if (!why.empty()) return Refuse(zipName, why);

  if (out.empty()) {
    std::vector<char> name(zipName.size() + PackageNameExtra + 1);
    MakePackageName(zipName.c_str(), name.data(), uint32_t(name.size()));
    out = name.data();
  }
  if (SameFile(stubInfo, out) || SameFile(zipInfo, out)) return Refuse(out, "would overwrite an input file");
  struct stat created;
  const FileHandle package = CreateOutput(out, created);
  if (package == NoFile) return Refuse(out, SystemText(LastFileError()));
  // WritePackage opens the ZIP file again by its name, and closes the stub.
  const PackageResult written = WritePackage(stub.release(), package, block, zipName.c_str());
  if (written.failed != PackageFile::None) {
    RemovePartial(out, created);
    const std::string& failed = written.failed == PackageFile::Stub ? stubName
                                : written.failed == PackageFile::Zip ? zipName
                                                                     : out;
    return Refuse(failed, SystemText(written.error));
  }
  std::printf("%s\n", out.c_str());
  return 0;
}

// The package name of a folder: its name with ".exe" ("dist/" gives "dist.exe"); "." and the
// like by the folder's own name, beside it.
std::string FolderPackageName(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const size_t slash = dir.rfind('/');
  const std::string last = slash == std::string::npos ? dir : dir.substr(slash + 1);
  if (last == "." || last == ".." || last.empty() || dir == "/") {
    char* real = realpath(dir.c_str(), nullptr);
    if (real != nullptr) {
      dir = real;
      std::free(real);
    }
    if (dir == "/") return "/root-folder.exe";
  }
  return dir + ".exe";
}

int BuildFolder(const std::vector<std::string>& args, PackMethod method, std::string out) {
  const std::string& stubName = args[0];
  const std::string& dirName = args[1];
  const std::string options = args.size() > 2 ? args[2] : "";
  const std::string extPath = args.size() > 3 ? args[3] : "";
  uint8_t block[OptionsBlockSize];
  const BlockRefusal bad = ComposeBlock(options, extPath, block);
  if (!bad.what.empty()) return Refuse(bad.name, bad.what);

  std::string why;
  struct stat stubInfo;
  Input stub(OpenInput(stubName, stubInfo, why));
  if (stub.get() == NoFile) return Refuse(stubName, why);
  why = CheckBareStub(stub.get(), stubInfo);
  if (!why.empty()) return Refuse(stubName, why);
  std::vector<SourceEntry> entries;
  ScanRefusal refusal;
  if (!ScanFolder(dirName, method == PackMethod::Solid ? EntryOrder::ForSolid : EntryOrder::ByName, entries, refusal))
    return Refuse(refusal.path, refusal.why);

  if (out.empty()) out = FolderPackageName(dirName);
  if (SameFile(stubInfo, out)) return Refuse(out, "would overwrite an input file");
  struct stat created;
  const FileHandle package = CreateOutput(out, created);
  if (package == NoFile) return Refuse(out, SystemText(LastFileError()));
  auto fail = [&](const std::string& name, const std::string& what) {
    FileClose(package);
    RemovePartial(out, created);
    return Refuse(name, what);
  };
  const CopyResult copied = CopyFileData(stub.get(), package);
  if (copied.failed != CopySide::None) return fail(copied.failed == CopySide::Source ? stubName : out, SystemText(copied.error));
  if (FileWrite(package, block, OptionsBlockSize) != int32_t(OptionsBlockSize))
    return fail(out, SystemText(LastFileError() != 0 ? LastFileError() : DiskFullError));

  BuildCrcTable();
  const uint64_t archiveOffset = uint64_t(stubInfo.st_size) + OptionsBlockSize;
  const FolderJob job{dirName, &entries, method, RunsSetup(options), out, package,
                      archiveOffset > MaxPackageSize ? 0 : MaxPackageSize - archiveOffset, StagingDir()};
  const PackFailure failure = WriteFolderArchive(job);
  if (failure.failed()) return fail(failure.name, failure.what);
  // The package as the stub will walk it.
  const ArchiveFindings found = CheckArchive(package, int32_t(archiveOffset), ArchiveRole::Attached,
                                             method != PackMethod::Solid && job.needSetup);
  if (!found.problem.empty() || found.solid != (method == PackMethod::Solid))
    return fail(dirName, "the archive written does not check: " + found.problem);
  if (!FileClose(package)) {
    const uint32_t error = LastFileError();
    RemovePartial(out, created);
    return Refuse(out, SystemText(error));
  }
  std::printf("%s\n", out.c_str());
  return 0;
}

// Opens a package and finds its archive; NoFile with why filled when it is not a package.
FileHandle OpenPackage(const std::string& name, struct stat& info, int32_t& offset, std::string& why) {
  const FileHandle f = OpenInput(name, info, why);
  if (f == NoFile) return NoFile;
  offset = FindArchiveOffset(f, 0);
  if (offset <= 0) {
    why = offset < 0 ? SystemText(LastFileError()) : "not a package: no archive on a 256-byte boundary";
    FileClose(f);
    return NoFile;
  }
  return f;
}

const char* MethodName(uint16_t method) {
  switch (method) {
    case 0: return "stored";
    case 8: return "deflate";
    case 14: return "lzma";
    default: return nullptr;
  }
}

// A stored time as ISO 8601: UTC ones end in "Z", DOS times are the writer's local time; "-"
// when the entry states none.
std::string TimeText(const StoredTime& t) {
  CalendarTime c = t.local;
  if (t.source == TimeSource::Utc) {
    const time_t seconds = time_t(t.unixSeconds);
    tm utc{};
    if (gmtime_r(&seconds, &utc) == nullptr) return "-";
    c = {uint16_t(utc.tm_year + 1900), uint16_t(utc.tm_mon + 1), uint16_t(utc.tm_mday), uint16_t(utc.tm_hour),
         uint16_t(utc.tm_min), uint16_t(utc.tm_sec)};
  } else if (t.source == TimeSource::None) {
    return "-";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%s", c.year, c.month, c.day, c.hour, c.minute,
                c.second, t.source == TimeSource::Utc ? "Z" : "");
  return text;
}

int List(const std::string& name) {
  struct stat info;
  int32_t offset = 0;
  std::string why;
  const FileHandle f = OpenPackage(name, info, offset, why);
  if (f == NoFile) return Refuse(name, why);
  if (!ReadPackageOptions(f, offset)) {
    const std::string error = SystemText(LastFileError());
    FileClose(f);
    return Refuse(name, "cannot read the options block: " + error);
  }
  auto flag = [](bool on) { return on ? "on" : "off"; };
  std::printf("options: a.start %s, a.close %s, r.setup %s, t.dir %s\n", flag(OptAutoStart), flag(OptAutoClose),
              flag(OptRunSetup), flag(OptTempDir));
  if (OptExtractPath[0] == 0)
    std::printf("extract path: (none)\n");
  else
    std::printf("extract path: %s\n", OptExtractPath);
  std::printf("archive at offset %" PRId32 "\n", offset);
  std::printf("%-10s %12s %12s  %-9s  %-20s  %s\n", "method", "compressed", "uncompressed", "encrypted", "modified",
              "name");

  // The package's own walk. Where the package would stop with its corrupted-archive message,
  // the listing says what is wrong instead.
  BuildCrcTable();
  std::vector<char> decoded(DecodedNameSize(0xFFFF));
  EntryWalk walk;
  StartWalk(walk, f, offset);
  int entries = 0;
  std::string problem;
  while (NextEntry(walk)) {
    // Names as the package shows them, in UTF-8.
    DecodeEntryName(walk.name, walk.header.NameLength, walk.header.Flags, walk.extra, walk.header.ExtraLength,
                    decoded.data(), uint32_t(decoded.size()));
    const std::string entryName(decoded.data());
    const char* method = MethodName(walk.header.Method);
    const std::string methodText = method != nullptr ? method : "method " + std::to_string(walk.header.Method);
    std::printf("%-10s %12" PRIu32 " %12" PRIu32 "  %-9s  %-20s  %s\n", methodText.c_str(), walk.header.CompressedSize,
                walk.header.UncompressedSize, (walk.header.Flags & FlagEncrypted) != 0 ? "yes" : "no",
                TimeText(EntryModifiedTime(walk.extra, walk.header.ExtraLength, walk.header.ModDate,
                                           walk.header.ModTime)).c_str(),
                entryName.c_str());
    ++entries;
    if (walk.endKnown && uint64_t(walk.nextHeader) > uint64_t(info.st_size)) {
      problem = "truncated: the data of '" + entryName + "' run past the end of the file";
      break;
    }
  }
  const std::string at = " at offset " + std::to_string(walk.headerPos);
  switch (walk.stop) {
    case WalkStop::Walking:
    case WalkStop::End:
      if (walk.stop == WalkStop::End && walk.header.Signature != ZipCentralHeaderSignature) {
        char text[96];
        std::snprintf(text, sizeof text, "entries end at offset %" PRId32 " with a record of signature 0x%08" PRIX32,
                      walk.headerPos, walk.header.Signature);
        std::printf("%s\n", text);
      }
      break;
    case WalkStop::CutHeader:
      problem = "truncated: no complete local header" + at + " (the package would report a corrupted archive)";
      break;
    case WalkStop::TooFar:
      problem = "the entry" + at + " would end beyond 2 GiB (the package would report a corrupted archive)";
      break;
    case WalkStop::EndUnknown:
      problem = "the end of the last entry listed cannot be found (no data descriptor)";
      break;
  }
  FileClose(f);
  std::printf("%d %s\n", entries, entries == 1 ? "entry" : "entries");
  if (!problem.empty()) return Refuse(name, problem);
  return 0;
}

int Dump(const std::string& name, const std::string& out) {
  struct stat info;
  int32_t offset = 0;
  std::string why;
  Input package(OpenPackage(name, info, offset, why));
  if (package.get() == NoFile) return Refuse(name, why);
  if (SameFile(info, out)) return Refuse(out, "would overwrite the package");
  struct stat created;
  const FileHandle dump = CreateOutput(out, created);
  if (dump == NoFile) return Refuse(out, SystemText(LastFileError()));
  const CopyResult copied = DumpArchive(package.get(), offset, dump);
  if (copied.failed != CopySide::None) {
    RemovePartial(out, created);
    return Refuse(copied.failed == CopySide::Source ? name : out, SystemText(copied.error));
  }
  std::printf("%s\n", out.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails (EFBIG) and is reported like any other, and the
  // output is removed, instead of the signal ending the tool with the output cut short.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError("nothing to do");
  if (args[0] == "--help" || args[0] == "-h") {
    std::printf("%s\n%s", UsageLine, HelpText);
    return 0;
  }
  if (args[0] == "--list") {
    if (args.size() != 2) return UsageError("--list takes one package");
    return List(args[1]);
  }
  if (args[0] == "--dump") {
    if (args.size() != 3) return UsageError("--dump takes a package and an output name");
    return Dump(args[1], args[2]);
  }

  std::string out, methodName;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && a == "-o") {
      if (i + 1 >= args.size()) return UsageError("-o needs an output name");
      out = args[++i];
      if (out.empty()) return UsageError("-o needs an output name");
    } else if (!optionsEnded && a == "--method") {
      if (i + 1 >= args.size()) return UsageError("--method needs solid, lzma, deflate or store");
      methodName = args[++i];
    } else if (!optionsEnded && positional.empty() && a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option '" + a + "'");
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2) return UsageError("a stub and a ZIP file or folder are needed");
  if (positional.size() > 4) return UsageError("too many arguments");
  struct stat input;
  if (stat(positional[1].c_str(), &input) == 0 && S_ISDIR(input.st_mode)) {
    PackMethod method = PackMethod::Solid;
    if (methodName == "lzma") method = PackMethod::Lzma;
    else if (methodName == "deflate") method = PackMethod::Deflate;
    else if (methodName == "store") method = PackMethod::Store;
    else if (!methodName.empty() && methodName != "solid")
      return UsageError("unknown method '" + methodName + "' (solid, lzma, deflate or store)");
    return BuildFolder(positional, method, out);
  }
  if (!methodName.empty()) return UsageError("--method applies to a folder, not to a ZIP file");
  return Build(positional, out);
}
