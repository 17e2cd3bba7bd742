// zelvix-pack: builds Zelvix packages on Linux and in CI, and lets authors check what they ship.
// Writes through the same WritePackage as the stub's builder mode, so both give the same bytes.
//
//   zelvix-pack [-o OUT] STUB ZIP [Options [ExtPath]]   build a package (default OUT: the
//                                                        stub's rule, archive.zip -> archive.exe)
//   zelvix-pack --list PACKAGE                           options and entries of a package
//   zelvix-pack --dump PACKAGE OUT.zip                   write out the attached archive
//   zelvix-pack --help
//
// Every refusal is one line on stderr and exit status 1; a malformed command line gives 2.
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "archive/data_descriptor.h"
#include "archive/local_header.h"
#include "archive/walk.h"
#include "package/builder.h"
#include "package/locator.h"
#include "package/options_block.h"
#include "util/bytes.h"
#include "util/file_io.h"

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

const char UsageLine[] =
    "usage: zelvix-pack [-o OUT] STUB ZIP [Options [ExtPath]]\n"
    "       zelvix-pack --list PACKAGE\n"
    "       zelvix-pack --dump PACKAGE OUT.zip\n"
    "       zelvix-pack --help\n";

const char HelpText[] =
    "Builds a Zelvix package: a copy of the bare stub STUB, a 256-byte options block and the\n"
    "ZIP file ZIP, byte for byte what `zelvix.exe ZIP [Options [ExtPath]]` writes on Windows.\n"
    "The package is written to OUT, or else to the ZIP name up to its last '.' followed by\n"
    "\"exe\" (archive.zip gives archive.exe).\n"
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

int Refuse(const std::string& text) {
  std::fprintf(stderr, "zelvix-pack: %s\n", text.c_str());
  return ExitRefused;
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zelvix-pack: %s\n%s", text.c_str(), UsageLine);
  return ExitUsage;
}

// Opens a regular file for reading; on failure fills why and returns NoFile. Directories are
// refused here: reading one would fail later, in the middle of a copy.
FileHandle OpenInput(const std::string& name, const char* role, struct stat& info, std::string& why) {
  if (stat(name.c_str(), &info) != 0) {
    why = std::string("cannot read ") + role + " '" + name + "': " + std::strerror(errno);
    return NoFile;
  }
  if (!S_ISREG(info.st_mode)) {
    why = std::string("cannot read ") + role + " '" + name + "': not a regular file";
    return NoFile;
  }
  const FileHandle f = FileOpenRead(name.c_str());
  if (f == NoFile) why = std::string("cannot read ") + role + " '" + name + "': " + std::strerror(errno);
  return f;
}

bool SameFile(const struct stat& a, const std::string& name) {
  struct stat b;
  return stat(name.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsLocalSignature(const uint8_t* bytes) { return LoadLE32(bytes) == ZipLocalHeaderSignature; }

// Bare: a whole number of 256-byte blocks, and none of them begins with "PK\3\4" (the locator
// would take it for an attached archive and the package would show the wrong entries).
std::string CheckBareStub(FileHandle stub, const struct stat& info, const std::string& name) {
  if (info.st_size == 0) return "stub '" + name + "' is empty";
  if (info.st_size % PackageAlignment != 0)
    return "stub '" + name + "' is not a bare stub: its size " + std::to_string(info.st_size) +
           " is not a multiple of 256";
  uint8_t first[4] = {};
  const bool startsWithZip = FileRead(stub, first, sizeof first) == 4 && IsLocalSignature(first);
  FileSeek(stub, 0);
  const int32_t offset = FindArchiveOffset(stub, 0);
  if (offset < 0) return "cannot read stub '" + name + "': " + std::strerror(errno);
  FileSeek(stub, 0);
  if (startsWithZip || offset != 0)
    return "stub '" + name + "' is not a bare stub: an archive is attached at offset " + std::to_string(offset);
  return "";
}

bool ValidOptions(const std::string& options) {
  if (options.size() > 4) return false;
  for (char c : options)
    if (c != '0' && c != '1') return false;
  return true;
}

int Build(const std::vector<std::string>& args, std::string out) {
  const std::string& stubName = args[0];
  const std::string& zipName = args[1];
  const std::string options = args.size() > 2 ? args[2] : "";
  const std::string extPath = args.size() > 3 ? args[3] : "";
  if (!ValidOptions(options))
    return Refuse("options '" + options + "' must be at most four characters '0' or '1'");
  uint8_t block[OptionsBlockSize];
  if (!ComposeOptionsBlock(options.c_str(), extPath.c_str(), block))
    return Refuse("extract path of " + std::to_string(extPath.size()) + " characters is too long (at most " +
                  std::to_string(MaxExtPathLength) + ")");

  std::string why;
  struct stat stubInfo, zipInfo;
  const FileHandle stub = OpenInput(stubName, "stub", stubInfo, why);
  if (stub == NoFile) return Refuse(why);
  why = CheckBareStub(stub, stubInfo, stubName);
  if (!why.empty()) {
    FileClose(stub);
    return Refuse(why);
  }
  const FileHandle zip = OpenInput(zipName, "ZIP file", zipInfo, why);
  if (zip == NoFile) {
    FileClose(stub);
    return Refuse(why);
  }
  uint8_t signature[4] = {};
  const bool zipOk = FileRead(zip, signature, sizeof signature) == 4 && IsLocalSignature(signature);
  FileClose(zip);
  if (!zipOk) {
    FileClose(stub);
    // The locator looks for the archive on a 256-byte boundary right behind the options block.
    return Refuse("'" + zipName + "' does not begin with a ZIP local file header (PK\\3\\4)");
  }

  if (out.empty()) {
    std::vector<char> name(zipName.size() + PackageNameExtra + 1);
    MakePackageName(zipName.c_str(), name.data(), uint32_t(name.size()));
    out = name.data();
  }
  if (SameFile(stubInfo, out) || SameFile(zipInfo, out)) {
    FileClose(stub);
    return Refuse("output '" + out + "' would overwrite an input file");
  }
  const FileHandle package = FileCreate(out.c_str());
  if (package == NoFile) {
    const std::string error = std::strerror(errno);
    FileClose(stub);
    return Refuse("cannot create '" + out + "': " + error);
  }
  const PackageResult written = WritePackage(stub, package, block, zipName.c_str());
  if (written.failed != PackageFile::None) {
    const std::string& failed = written.failed == PackageFile::Stub ? stubName
                                : written.failed == PackageFile::Zip ? zipName
                                                                     : out;
    return Refuse("cannot write '" + failed + "': " + std::strerror(int(written.error)));
  }
  std::printf("%s\n", out.c_str());
  return 0;
}

// Opens a package and finds its archive; NoFile with why filled when it is not a package.
FileHandle OpenPackage(const std::string& name, struct stat& info, int32_t& offset, std::string& why) {
  const FileHandle f = OpenInput(name, "package", info, why);
  if (f == NoFile) return NoFile;
  offset = FindArchiveOffset(f, 0);
  if (offset < 0) {
    why = "cannot read package '" + name + "': " + std::strerror(errno);
    FileClose(f);
    return NoFile;
  }
  if (offset == 0) {
    FileClose(f);
    why = "'" + name + "' is not a package: no archive on a 256-byte boundary";
    return NoFile;
  }
  return f;
}

const char* MethodName(uint16_t method) {
  switch (method) {
    case 0: return "stored";
    case 8: return "deflate";
    default: return nullptr;
  }
}

int List(const std::string& name) {
  struct stat info;
  int32_t offset = 0;
  std::string why;
  const FileHandle f = OpenPackage(name, info, offset, why);
  if (f == NoFile) return Refuse(why);
  ReadPackageOptions(f, offset);
  auto flag = [](bool on) { return on ? "on" : "off"; };
  std::printf("options: a.start %s, a.close %s, r.setup %s, t.dir %s\n", flag(OptAutoStart), flag(OptAutoClose),
              flag(OptRunSetup), flag(OptTempDir));
  if (OptExtractPath[0] == 0)
    std::printf("extract path: (none)\n");
  else
    std::printf("extract path: %s\n", OptExtractPath);
  std::printf("archive at offset %" PRId32 "\n", offset);
  std::printf("%-10s %12s %12s  %-9s  %s\n", "method", "compressed", "uncompressed", "encrypted", "name");

  // The package's own walk. Where the package would stop with its corrupted-archive message,
  // the listing says what is wrong instead.
  ArchiveHandle = f;
  EntryWalk walk;
  StartWalk(walk, offset);
  int entries = 0;
  std::string problem;
  while (NextEntry(walk)) {
    const std::string entryName(reinterpret_cast<const char*>(walk.name), LocalHeader.NameLength);
    const char* method = MethodName(LocalHeader.Method);
    const std::string methodText = method != nullptr ? method : "method " + std::to_string(LocalHeader.Method);
    std::printf("%-10s %12" PRIu32 " %12" PRIu32 "  %-9s  %s\n", methodText.c_str(), LocalHeader.CompressedSize,
                LocalHeader.UncompressedSize, (LocalHeader.Flags & FlagEncrypted) != 0 ? "yes" : "no", entryName.c_str());
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
      if (walk.stop == WalkStop::End && LocalHeader.Signature != ZipCentralHeaderSignature) {
        char text[96];
        std::snprintf(text, sizeof text, "entries end at offset %" PRId32 " with a record of signature 0x%08" PRIX32,
                      walk.headerPos, LocalHeader.Signature);
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
  if (!problem.empty()) return Refuse(problem);
  return 0;
}

int Dump(const std::string& name, const std::string& out) {
  struct stat info;
  int32_t offset = 0;
  std::string why;
  const FileHandle f = OpenPackage(name, info, offset, why);
  if (f == NoFile) return Refuse(why);
  if (SameFile(info, out)) {
    FileClose(f);
    return Refuse("output '" + out + "' would overwrite the package");
  }
  const FileHandle dump = FileCreate(out.c_str());
  if (dump == NoFile) {
    const std::string error = std::strerror(errno);
    FileClose(f);
    return Refuse("cannot create '" + out + "': " + error);
  }
  const CopyResult copied = DumpArchive(f, offset, dump);
  FileClose(f);
  if (copied.failed != CopySide::None)
    return Refuse("cannot write '" + (copied.failed == CopySide::Source ? name : out) +
                  "': " + std::strerror(int(copied.error)));
  std::printf("%s\n", out.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
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

  std::string out;
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
    } else if (!optionsEnded && positional.empty() && a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option '" + a + "'");
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2) return UsageError("a stub and a ZIP file are needed");
  if (positional.size() > 4) return UsageError("too many arguments");
  return Build(positional, out);
}
