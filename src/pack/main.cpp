// zelvix-pack: builds Zelvix packages on Linux and in CI, and lets authors check what they ship.
// A package of a ZIP file goes through the same WritePackage as the stub's builder mode, so both
// give the same bytes; a folder is packed into an archive zelvix-pack writes itself
// (folder_pack.h). Either way the stub and the archive are checked first (pe_image.h,
// archive_check.h), and the stub may be given another icon, caption and version information
// (branding.h).
//
//   zelvix-pack [OPTIONS] [STUB] ZIP|DIR [Options [ExtPath]]   build a package (default OUT: the
//                                       stub's rule, archive.zip -> archive.exe; DIR -> DIR.exe)
//   zelvix-pack --list PACKAGE          options and entries of a package
//   zelvix-pack --dump PACKAGE OUT.zip  write out the attached archive
//   zelvix-pack --help | --version
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
#include "pack/branding.h"
#include "pack/folder_pack.h"
#include "pack/folder_scan.h"
#include "pack/pe_image.h"
#include "package/builder.h"
#include "package/locator.h"
#include "package/options_block.h"
#include "package/stub_mark.h"
#include "util/bytes.h"
#include "util/crc32.h"
#include "util/file_io.h"
#include "zelvix_version.h"

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

const char UsageLine[] =
    "usage: zelvix-pack [OPTIONS] [STUB] ZIP|DIR [Options [ExtPath]]\n"
    "       zelvix-pack [OPTIONS] --stub STUB ZIP|DIR [Options [ExtPath]]\n"
    "       zelvix-pack --list PACKAGE\n"
    "       zelvix-pack --dump PACKAGE OUT.zip\n"
    "       zelvix-pack --help | --version\n";

// One line per option; the test of --help holds every option to one line here.
const char OptionsText[] =
    "Options:\n"
    "  -o OUT                 write the package to OUT\n"
    "  --stub STUB            the stub, instead of the first argument or the installed one\n"
    "  --auto-start           a.start: extract at once when the package starts, then close\n"
    "  --auto-close           a.close: close the dialog after an extraction started with Extract\n"
    "  --run-setup            r.setup: start setup.exe from the extraction directory afterwards\n"
    "  --temp-dir             t.dir: propose a new private folder in the temporary directory\n"
    "  --extract-path PATH    ExtPath: the extraction directory the package proposes\n"
    "  --method M             how a folder is packed: solid (default), lzma, deflate or store\n"
    "  --icon FILE.ico        the package's icon, every image of FILE.ico\n"
    "  --title TEXT           the caption of the package's dialog (at most 63 UTF-16 units)\n"
    "  --version-info K=V,... version information: ProductName, FileVersion=1.2.3.4, ...\n"
    "  --list PACKAGE         print a package's options and entries\n"
    "  --dump PACKAGE OUT     write a package's attached ZIP archive to OUT\n"
    "  --help                 print this text\n"
    "  --version              print the version of zelvix-pack\n";

const char HelpText[] =
    "Builds a Zelvix package: a copy of the bare stub STUB, a 256-byte options block and the\n"
    "ZIP file ZIP, byte for byte what `zelvix.exe ZIP [Options [ExtPath]]` writes on Windows.\n"
    "STUB may be left out when ZIP or DIR comes first (a stub is neither a ZIP file nor a\n"
    "folder): the stub installed with zelvix-pack is taken, ../share/zelvix/zelvix.exe from\n"
    "the directory of zelvix-pack itself. STUB must be a Zelvix stub: a Windows program with\n"
    "the stub's mark, a whole number of 256-byte blocks, with no archive attached.\n"
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
    "(missing ones are '0'; \"101\" means a.start and r.setup); --auto-start, --auto-close,\n"
    "--run-setup and --temp-dir switch on one each, with the same bytes:\n"
    "  a.start  the package extracts by itself as soon as its dialog opens,\n"
    "           then closes without the success message.\n"
    "  a.close  after an extraction started with the Extract button,\n"
    "           the dialog closes by itself.\n"
    "  r.setup  after a successful extraction and once the dialog has closed,\n"
    "           setup.exe is started from the extraction directory.\n"
    "  t.dir    the dialog proposes the system's temporary directory,\n"
    "           whatever the extract path says.\n"
    "\n"
    "ExtPath (or --extract-path PATH; at most 241 characters, what the package reads back):\n"
    "the extraction directory proposed, '/' written as '\\'. Empty: a folder named after the\n"
    "package in the current directory; a name without '\\': that folder in the current\n"
    "directory; with a '\\': that directory itself (C:\\Tools, or ..\\Tools relative to the\n"
    "current directory). Environment variables are expanded by the package when it proposes\n"
    "the path (%ProgramFiles%\\Tools, %LOCALAPPDATA%\\Tools); an unknown one stays as written.\n"
    "\n"
    "--icon, --title and --version-info give the package its own identity: the icon shown for\n"
    "the file and by its dialog, the dialog's caption, and an RT_VERSION resource (keys\n"
    "ProductName, ProductVersion, FileVersion, FileDescription, CompanyName, LegalCopyright,\n"
    "LegalTrademarks, InternalName, OriginalFilename, Comments; write ',' in a value as \"\\,\").\n"
    "Without them the stub is copied as it is. A package can be signed after it is built.\n"
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

// What the command line asks of a package: the stub, the ZIP file or folder, the flags, the
// extract path, the package's identity and where it goes.
struct PackageRequest {
  std::string stub;
  bool stubInstalled = false;  // the stub was left out: the installed one
  std::string input;     // a ZIP file or a folder
  std::string options;   // the four-character form as given, "" when none
  bool named[4] = {};    // --auto-start, --auto-close, --run-setup, --temp-dir
  std::string extPath;   // positional or --extract-path
  Branding branding;
  std::string out;
  std::string methodName;
};

// The stub installed beside zelvix-pack: ../share/zelvix/zelvix.exe from its own directory.
std::string InstalledStub() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "share/zelvix/zelvix.exe";
  std::string dir(self, size_t(length));
  dir = dir.substr(0, dir.rfind('/'));
  return dir + "/../share/zelvix/zelvix.exe";
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
// A stub larger than this is no Zelvix stub (the stub is some 30 KB).
constexpr off_t MaxStubSize = 16 << 20;

// The stub and the options block of a request, checked: the stub open at its start (the
// rebranded copy, in a file of its own, when the request brands it), its size, and what the
// original is, so that no output overwrites it.
struct PreparedStub {
  FileHandle file = NoFile;
  uint64_t size = 0;
  struct stat original {};
  uint8_t block[OptionsBlockSize] = {};
  bool runsSetup = false;
  ~PreparedStub() {
    if (file != NoFile) FileClose(file);
  }
};

struct Refusal {
  std::string name, what;
  bool failed() const { return !what.empty(); }
};

// A Zelvix stub, bare: a whole number of 256-byte blocks, none of which begins with "PK\3\4"
// (the locator would take it for an attached archive and the package would show the wrong
// entries), a 32-bit Windows program whose first section begins with the stub's mark.
std::string CheckStub(const PeBytes& stub) {
  if (stub.empty()) return "not a bare stub: the file is empty";
  if (stub.size() % PackageAlignment != 0)
    return "not a bare stub: its size " + std::to_string(stub.size()) + " is not a multiple of 256";
  for (size_t block = 0; block + 4 <= stub.size(); block += PackageAlignment)
    if (LoadLE32(&stub[block]) == ZipLocalHeaderSignature)
      return "not a bare stub: an archive is attached at offset " + std::to_string(block);
  PeImage pe;
  const std::string why = ParsePe(stub, pe);
  if (!why.empty()) return "not a Zelvix stub: " + why;
  if (StubMarkOf(stub, pe).empty()) return "not a Zelvix stub: a Windows program without the stub's mark";
  return "";
}

// Reads, checks and (when asked) rebrands the stub, and composes the options block.
Refusal PrepareStub(const PackageRequest& request, PreparedStub& prepared) {
  // The flags: the four-character form, and each named option switching its flag on.
  if (!ValidOptions(request.options)) return {request.options, "options must be at most four characters '0' or '1'"};
  std::string flags = request.options;
  flags.resize(4, '0');
  for (int i = 0; i < 4; ++i)
    if (request.named[i]) flags[size_t(i)] = '1';
  // The path as the package reads it: '\' for '/', and no longer than the block gives back.
  std::string extPath = request.extPath;
  for (char& c : extPath)
    if (c == '/') c = '\\';
  if (extPath.size() > ExtPathReadLength)
    return {request.extPath, "extract path of " + std::to_string(extPath.size()) + " characters is too long (at most " +
                                 std::to_string(ExtPathReadLength) + ")"};
  if (!ComposeOptionsBlock(flags.c_str(), extPath.c_str(), prepared.block)) return {request.extPath, "extract path too long"};
  prepared.runsSetup = flags[2] == '1';

  const std::string& stubName = request.stub;
  std::string why;
  if (request.stubInstalled && access(stubName.c_str(), F_OK) != 0)
    return {stubName, "no STUB given, and no stub is installed here"};
  const FileHandle file = OpenInput(stubName, prepared.original, why);
  if (file == NoFile) return {stubName, why};
  prepared.file = file;
  if (prepared.original.st_size > MaxStubSize) return {stubName, "not a Zelvix stub: larger than 16 MiB"};
  PeBytes stub(size_t(prepared.original.st_size));
  if (!stub.empty() && FileRead(file, stub.data(), uint32_t(stub.size())) != int32_t(stub.size()))
    return {stubName, SystemText(LastFileError())};
  if (FileSeek(file, 0) != 0) return {stubName, SystemText(LastFileError())};
  why = CheckStub(stub);
  if (!why.empty()) return {stubName, why};
  prepared.size = stub.size();
  if (!request.branding.any()) return {};

  const BrandRefusal branded = Rebrand(stub, stubName, request.branding);
  if (branded.failed()) return {branded.name, branded.what};
  // The rebranded stub goes through the same copy as a stub file: an unnamed temporary file.
  std::FILE* copy = std::tmpfile();
  if (copy == nullptr) return {"tmpfile", SystemText(uint32_t(errno))};
  const FileHandle copied = FileHandle(dup(fileno(copy)));
  std::fclose(copy);
  if (copied == NoFile) return {"tmpfile", SystemText(uint32_t(errno))};
  FileClose(prepared.file);
  prepared.file = copied;
  if (FileWrite(copied, stub.data(), uint32_t(stub.size())) != int32_t(stub.size()) || FileSeek(copied, 0) != 0)
    return {"tmpfile", SystemText(LastFileError() != 0 ? LastFileError() : DiskFullError)};
  prepared.size = stub.size();
  return {};
}

// The locator looks for the archive on a 256-byte boundary right behind the options block.
std::string CheckZipStart(FileHandle zip) {
  uint8_t signature[4] = {};
  const int32_t got = FileRead(zip, signature, sizeof signature);
  if (got < 0) return SystemText(LastFileError());
  if (got != 4 || !IsLocalSignature(signature)) return "does not begin with a ZIP local file header (PK\\3\\4)";
  return "";
}

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

int Build(const PackageRequest& request) {
  PreparedStub stub;
  const Refusal refused = PrepareStub(request, stub);
  if (refused.failed()) return Refuse(refused.name, refused.what);
  const std::string& zipName = request.input;
  std::string why;
  struct stat zipInfo;
  Input zip(OpenInput(zipName, zipInfo, why));
  if (zip.get() == NoFile) return Refuse(zipName, why);
  const uint64_t packageSize = stub.size + OptionsBlockSize + uint64_t(zipInfo.st_size);
  if (packageSize > MaxPackageSize)
    return Refuse(zipName, "too large: the package would have " + std::to_string(packageSize) +
                               " bytes, more than the 2147483647 (2 GiB - 1) the stub can read");
  why = CheckZipStart(zip.get());
  if (!why.empty()) return Refuse(zipName, why);
  BuildCrcTable();
  why = CheckZipFile(zip.get(), stub.runsSetup);
  if (!why.empty()) return Refuse(zipName, why);

  std::string out = request.out;
  if (out.empty()) {
    std::vector<char> name(zipName.size() + PackageNameExtra + 1);
    MakePackageName(zipName.c_str(), name.data(), uint32_t(name.size()));
    out = name.data();
  }
  if (SameFile(stub.original, out) || SameFile(zipInfo, out)) return Refuse(out, "would overwrite an input file");
  struct stat created;
  const FileHandle package = CreateOutput(out, created);
  if (package == NoFile) return Refuse(out, SystemText(LastFileError()));
  // WritePackage opens the ZIP file again by its name, and closes the stub.
  const FileHandle stubFile = stub.file;
  stub.file = NoFile;
  const PackageResult written = WritePackage(stubFile, package, stub.block, zipName.c_str());
  if (written.failed != PackageFile::None) {
    RemovePartial(out, created);
    const std::string& failed = written.failed == PackageFile::Stub ? request.stub
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

int BuildFolder(const PackageRequest& request, PackMethod method) {
  PreparedStub stub;
  const Refusal refused = PrepareStub(request, stub);
  if (refused.failed()) return Refuse(refused.name, refused.what);
  const std::string& dirName = request.input;
  std::vector<SourceEntry> entries;
  ScanRefusal refusal;
  if (!ScanFolder(dirName, method == PackMethod::Solid ? EntryOrder::ForSolid : EntryOrder::ByName, entries, refusal))
    return Refuse(refusal.path, refusal.why);

  const std::string out = request.out.empty() ? FolderPackageName(dirName) : request.out;
  if (SameFile(stub.original, out)) return Refuse(out, "would overwrite an input file");
  struct stat created;
  const FileHandle package = CreateOutput(out, created);
  if (package == NoFile) return Refuse(out, SystemText(LastFileError()));
  auto fail = [&](const std::string& name, const std::string& what) {
    FileClose(package);
    RemovePartial(out, created);
    return Refuse(name, what);
  };
  const CopyResult copied = CopyFileData(stub.file, package);
  if (copied.failed != CopySide::None)
    return fail(copied.failed == CopySide::Source ? request.stub : out, SystemText(copied.error));
  if (FileWrite(package, stub.block, OptionsBlockSize) != int32_t(OptionsBlockSize))
    return fail(out, SystemText(LastFileError() != 0 ? LastFileError() : DiskFullError));

  BuildCrcTable();
  const uint64_t archiveOffset = stub.size + OptionsBlockSize;
  const FolderJob job{dirName, &entries, method, stub.runsSetup, out, package,
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

// Whether the first argument is what gets packed rather than the stub: a folder, or a file
// beginning with a local header (a stub begins with "MZ").
bool IsPackInput(const std::string& name) {
  struct stat info;
  if (stat(name.c_str(), &info) != 0) return false;
  if (S_ISDIR(info.st_mode)) return true;
  if (!S_ISREG(info.st_mode)) return false;
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t head[4] = {};
  const bool zip = std::fread(head, 1, 4, f) == 4 && IsLocalSignature(head);
  std::fclose(f);
  return zip;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails (EFBIG) and is reported like any other, and the
  // output is removed, instead of the signal ending the tool with the output cut short.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError("nothing to do");
  if (args[0] == "--help" || args[0] == "-h") {
    std::printf("%s\n%s\n%s", UsageLine, OptionsText, HelpText);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("zelvix-pack %s\n", ZELVIX_VERSION);
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

  PackageRequest request;
  std::vector<std::string> positional;
  bool optionsEnded = false, extPathNamed = false;
  const char* const flagNames[4] = {"--auto-start", "--auto-close", "--run-setup", "--temp-dir"};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // An option that takes a value: the next argument, whatever it is.
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    bool flag = false;
    for (int f = 0; f < 4 && !optionsEnded; ++f)
      if (a == flagNames[f]) request.named[f] = flag = true;
    if (flag) continue;
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      positional.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "-o") {
      if (!value(request.out) || request.out.empty()) return UsageError("-o needs an output name");
    } else if (a == "--stub") {
      if (!value(request.stub) || request.stub.empty()) return UsageError("--stub needs a stub file");
    } else if (a == "--method") {
      if (!value(request.methodName)) return UsageError("--method needs solid, lzma, deflate or store");
    } else if (a == "--extract-path") {
      if (!value(request.extPath)) return UsageError("--extract-path needs a path");
      extPathNamed = true;
    } else if (a == "--icon") {
      if (!value(request.branding.iconFile) || request.branding.iconFile.empty())
        return UsageError("--icon needs an icon file");
    } else if (a == "--title") {
      if (!value(request.branding.title)) return UsageError("--title needs a text");
      request.branding.titleGiven = true;
    } else if (a == "--version-info") {
      if (!value(request.branding.versionInfo)) return UsageError("--version-info needs Key=Value,...");
      request.branding.versionGiven = true;
    } else {
      return UsageError("unknown option '" + a + "'");
    }
  }
  // [STUB] INPUT [Options [ExtPath]]: the stub is left out when it is given with --stub, or
  // when the first argument is what gets packed.
  if (positional.empty()) return UsageError("a ZIP file or folder is needed");
  if (!request.stub.empty()) {
    positional.insert(positional.begin(), request.stub);
  } else if (IsPackInput(positional[0])) {
    positional.insert(positional.begin(), InstalledStub());
    request.stubInstalled = true;
  }
  if (positional.size() < 2) return UsageError("a stub and a ZIP file or folder are needed");
  if (positional.size() > 4) return UsageError("too many arguments");
  if (positional.size() > 3 && extPathNamed) return UsageError("ExtPath is given twice (and --extract-path)");
  request.stub = positional[0];
  request.input = positional[1];
  if (positional.size() > 2) request.options = positional[2];
  if (positional.size() > 3) request.extPath = positional[3];

  struct stat input;
  if (stat(request.input.c_str(), &input) == 0 && S_ISDIR(input.st_mode)) {
    PackMethod method = PackMethod::Solid;
    const std::string& methodName = request.methodName;
    if (methodName == "lzma") method = PackMethod::Lzma;
    else if (methodName == "deflate") method = PackMethod::Deflate;
    else if (methodName == "store") method = PackMethod::Store;
    else if (!methodName.empty() && methodName != "solid")
      return UsageError("unknown method '" + methodName + "' (solid, lzma, deflate or store)");
    return BuildFolder(request, method);
  }
  if (!request.methodName.empty()) return UsageError("--method applies to a folder, not to a ZIP file");
  return Build(request);
}
