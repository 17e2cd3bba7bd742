// zelvix-pack, the native command-line builder: the bytes it writes, every refusal, --help,
// --list and --dump. The tool is run as a separate process, found beside the test binary's
// build directory (<build>/zelvix-pack, two levels above <build>/tests/unit).
#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "package/options_block.h"
#include "pack/branding.h"
#include "package/stub_mark.h"
#include "support/temp_dir.h"
#include "util/bytes.h"

namespace {

std::string PackTool() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "";
  std::string dir(self, size_t(length));
  dir = dir.substr(0, dir.rfind('/'));
  return dir + "/../../zelvix-pack";
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct ToolRun {
  int status = -1;
  std::string out, err;
};

// Runs zelvix-pack; a file-size limit in bytes, when given, applies to it alone.
ToolRun Pack(const std::vector<std::string>& args, const std::string& fileSizeLimit = "") {
  const std::string tool = PackTool();
  EXPECT_TRUE(Exists(tool)) << "zelvix-pack is not built at " << tool;
  const TempDir capture;
  const std::string out = capture.Path("stdout"), err = capture.Path("stderr");
  // A tool that hangs fails the test (status 124) instead of stopping the suite.
  std::string command = "timeout 20 ";
  if (!fileSizeLimit.empty()) command += "prlimit --fsize=" + fileSizeLimit + " ";
  command += Quote(tool);
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote(out) + " 2>" + Quote(err);
  ToolRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const Bytes o = ReadFile(out), e = ReadFile(err);
  run.out.assign(o.begin(), o.end());
  run.err.assign(e.begin(), e.end());
  return run;
}

// A refusal: exit status 1 and exactly one line on stderr, "zelvix-pack: NAME: ...", where
// what follows NAME holds `mention`.
void ExpectRefusal(const ToolRun& run, const std::string& name, const std::string& mention) {
  EXPECT_EQ(run.status, 1);
  const std::string head = "zelvix-pack: " + name + ": ";
  EXPECT_EQ(run.err.compare(0, head.size(), head), 0) << run.err;
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
  EXPECT_NE(run.err.find(mention, head.size()), std::string::npos) << run.err;
}

struct Refusal {
  std::vector<std::string> args;
  std::string name, mention;
};

void ExpectRefusals(const std::vector<Refusal>& cases) {
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 200));
    ExpectRefusal(Pack(c.args), c.name, c.mention);
  }
}

constexpr uint32_t ZipLocalSig = 0x04034B50;

// A small ZIP file, written the way zip tools do: local headers with their data, a central
// directory and its end record.
struct ZipEntry {
  std::string name;
  Bytes data;
  bool deflate;
  uint16_t flags;
  Bytes extra = {};  // in the local and the central header
  uint16_t date = 0x5821, time = 0x6000;
  int method = -1;  // when set, instead of the one `deflate` gives
};

Bytes Deflate(const Bytes& data) {
  z_stream z = {};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, uLong(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void Put16(Bytes& b, uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void Put32(Bytes& b, uint32_t v) { Put16(b, uint16_t(v)); Put16(b, uint16_t(v >> 16)); }

Bytes MakeZip(const std::vector<ZipEntry>& entries) {
  Bytes zip, central;
  for (const ZipEntry& e : entries) {
    const Bytes stored = e.deflate ? Deflate(e.data) : e.data;
    const uint32_t crc = uint32_t(crc32(0, e.data.data(), uInt(e.data.size())));
    const uint32_t offset = uint32_t(zip.size());
    auto common = [&](Bytes& b) {
      Put16(b, 20);                        // version needed
      Put16(b, e.flags);                   // flags
      Put16(b, uint16_t(e.method >= 0 ? e.method : e.deflate ? 8 : 0));  // method
      Put16(b, e.time);
      Put16(b, e.date);
      Put32(b, crc);
      Put32(b, uint32_t(stored.size()));
      Put32(b, uint32_t(e.data.size()));
      Put16(b, uint16_t(e.name.size()));
      Put16(b, uint16_t(e.extra.size()));
    };
    Put32(zip, ZipLocalSig);
    common(zip);
    zip.insert(zip.end(), e.name.begin(), e.name.end());
    zip.insert(zip.end(), e.extra.begin(), e.extra.end());
    zip.insert(zip.end(), stored.begin(), stored.end());
    Put32(central, 0x02014B50);
    Put16(central, 20);                    // version made by
    common(central);
    Put16(central, 0);                     // comment length
    Put16(central, 0);                     // disk
    Put16(central, 0);                     // internal attributes
    Put32(central, 0);                     // external attributes
    Put32(central, offset);
    central.insert(central.end(), e.name.begin(), e.name.end());
    central.insert(central.end(), e.extra.begin(), e.extra.end());
  }
  const uint32_t centralOffset = uint32_t(zip.size());
  zip.insert(zip.end(), central.begin(), central.end());
  Put32(zip, 0x06054B50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, uint16_t(entries.size()));
  Put16(zip, uint16_t(entries.size()));
  Put32(zip, uint32_t(central.size()));
  Put32(zip, centralOffset);
  Put16(zip, 0);
  return zip;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes SampleZip() {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + " of a compressible file\n";
  return MakeZip({{"readme.txt", Text("read me\n"), false, 0},
                  {"docs/manual.txt", Text(text), true, 0},
                  {"secret.bin", Text("0123456789ABCDEF0123"), false, 1},
                  {"setup.exe", Text("MZ"), false, 0}});
}

// A stand-in for the bare stub: a PE32 header and one section whose data begin with the stub's
// mark, a whole number of 256-byte blocks, and the local-header signature at an unaligned
// offset, which must not count as an attached archive.
Bytes SampleStub() {
  Bytes stub(4 * 256);
  for (size_t i = 0; i < stub.size(); ++i) stub[i] = uint8_t(i * 7 + 3);
  std::fill(stub.begin(), stub.begin() + 0x200, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  StoreLE32(&stub[0x3C], 0x40);                  // e_lfanew
  StoreLE32(&stub[0x40], 0x00004550);            // "PE\0\0"
  StoreLE16(&stub[0x44], 0x14C);                 // i386
  StoreLE16(&stub[0x46], 1);                     // one section
  StoreLE16(&stub[0x54], 224);                   // optional header size
  const size_t optional = 0x58;
  StoreLE16(&stub[optional], 0x10B);             // PE32
  StoreLE32(&stub[optional + 32], 0x1000);       // section alignment
  StoreLE32(&stub[optional + 36], 0x200);        // file alignment
  StoreLE32(&stub[optional + 92], 16);           // data directories
  const size_t section = optional + 224;
  std::memcpy(&stub[section], ".text", 5);
  StoreLE32(&stub[section + 8], 0x200);          // virtual size
  StoreLE32(&stub[section + 12], 0x1000);        // virtual address
  StoreLE32(&stub[section + 16], 0x200);         // raw size
  StoreLE32(&stub[section + 20], 0x200);         // raw data at 512
  const std::string mark = std::string(StubMark) + '\0';
  std::copy(mark.begin(), mark.end(), stub.begin() + 0x200);
  const uint8_t signature[] = {'P', 'K', 3, 4};
  std::copy(signature, signature + 4, stub.begin() + 0x200 + 300);
  return stub;
}

Bytes Block(const char* options, const char* extPath) {
  Bytes block(OptionsBlockSize);
  EXPECT_TRUE(ComposeOptionsBlock(options, extPath, block.data()));
  return block;
}

Bytes Concat(const Bytes& a, const Bytes& b, const Bytes& c) {
  Bytes all = a;
  all.insert(all.end(), b.begin(), b.end());
  all.insert(all.end(), c.begin(), c.end());
  return all;
}

class PackTest : public testing::Test {
protected:
  void SetUp() override {
    stub = dir + "/zelvix.exe";
    zip = dir + "/archive.zip";
    stubBytes = SampleStub();
    zipBytes = SampleZip();
    WriteFile(stub, stubBytes);
    WriteFile(zip, zipBytes);
  }
  const TempDir temp;
  const std::string dir = temp.path();
  std::string stub, zip;
  Bytes stubBytes, zipBytes;
};

TEST_F(PackTest, DefaultOutputFollowsThePackageNameRule) {
  const ToolRun run = Pack({stub, zip});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir + "/archive.exe"), Concat(stubBytes, Block("", ""), zipBytes));
  // No '.' after the directory's: the removal runs back into the directory part.
  const std::string plainDir = dir + "/my.files";
  std::system(("mkdir -p " + Quote(plainDir)).c_str());
  WriteFile(plainDir + "/data", zipBytes);
  EXPECT_EQ(Pack({stub, plainDir + "/data"}).status, 0);
  EXPECT_TRUE(Exists(dir + "/my.exe"));
}

TEST_F(PackTest, OptionsAndExtractPathGoIntoTheBlock) {
  const ToolRun run = Pack({"-o", dir + "/out.exe", stub, zip, "1101", "C:\\Program Files\\Tools"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir + "/out.exe"), Concat(stubBytes, Block("1101", "C:\\Program Files\\Tools"), zipBytes));
  EXPECT_EQ(Pack({stub, zip, "1"}).status, 0);
  EXPECT_EQ(ReadFile(dir + "/archive.exe"), Concat(stubBytes, Block("1", ""), zipBytes));
  // The longest path the package reads back whole; '/' is written as '\'.
  const std::string longest(ExtPathReadLength, 'x');
  EXPECT_EQ(Pack({stub, zip, "0000", longest}).status, 0);
  EXPECT_EQ(ReadFile(dir + "/archive.exe"), Concat(stubBytes, Block("0000", longest.c_str()), zipBytes));
  EXPECT_EQ(Pack({stub, zip, "0", "%ProgramFiles%/Zelvix Tools/bin"}).status, 0);
  EXPECT_EQ(ReadFile(dir + "/archive.exe"), Concat(stubBytes, Block("0", "%ProgramFiles%\\Zelvix Tools\\bin"), zipBytes));
}

// The named flags and --extract-path write what the four-character form does, in any order
// and mixed with it (a named flag switches its flag on whatever the characters say).
TEST_F(PackTest, NamedOptionsWriteTheBytesOfTheCharacterForm) {
  using Args = std::vector<std::string>;
  const struct {
    Args named;
    const char *options, *extPath;
  } cases[] = {
      {{"--auto-start"}, "1000", ""},
      {{"--auto-close", "--extract-path", "C:/Tools"}, "0100", "C:\\Tools"},
      {{"--temp-dir", "--run-setup"}, "0011", ""},
      {{"--auto-start", "--auto-close", "--run-setup", "--temp-dir", "--extract-path", "x"}, "1111", "x"},
      {{"--extract-path", "%LOCALAPPDATA%\\App", "--", "0100"}, "0100", "%LOCALAPPDATA%\\App"},
      {{"--run-setup", "--", "1000"}, "1010", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named.front());
    Args args = {"-o", dir + "/named.exe", stub, zip};
    // Options after the inputs; those after "--" are the positional Options.
    for (const std::string& a : c.named) args.push_back(a);
    const ToolRun run = Pack(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir + "/named.exe"), Concat(stubBytes, Block(c.options, c.extPath), zipBytes));
  }
  ExpectRefusal(Pack({stub, zip, "--extract-path", std::string(ExtPathReadLength + 1, 'y')}),
                std::string(ExtPathReadLength + 1, 'y'), "at most 241");
  EXPECT_EQ(Pack({stub, zip, "0", "a", "--extract-path", "b"}).status, 2);
}

TEST_F(PackTest, ExistingOutputIsReplaced) {
  WriteFile(dir + "/archive.exe", Bytes(100000, 0xAA));
  EXPECT_EQ(Pack({stub, zip}).status, 0);
  EXPECT_EQ(ReadFile(dir + "/archive.exe"), Concat(stubBytes, Block("", ""), zipBytes));
}

TEST_F(PackTest, RefusesMissingOrUnreadableInputs) {
  // Paths through a regular file cannot be opened whoever runs the tool (root included).
  const std::string missing = std::strerror(ENOENT), notDir = std::strerror(ENOTDIR);
  ExpectRefusals({
      {{dir + "/nostub.exe", zip}, dir + "/nostub.exe", missing},
      {{stub, dir + "/missing.zip"}, dir + "/missing.zip", missing},
      {{stub + "/x", zip}, stub + "/x", notDir},
      {{stub, zip + "/x"}, zip + "/x", notDir},
      // A folder first is what gets packed; the ZIP name after it is taken for Options.
      {{dir, zip}, zip, "options"},
      {{stub, "/dev/null"}, "/dev/null", "not a regular file"},
      {{"--dump", zip + "/x", dir + "/out.zip"}, zip + "/x", notDir},
  });
  EXPECT_FALSE(Exists(dir + "/archive.exe"));
  EXPECT_FALSE(Exists(dir + "/missing.exe"));
  EXPECT_FALSE(Exists(dir + "/out.zip"));
}

TEST_F(PackTest, RefusesAStubThatIsNotBare) {
  WriteFile(dir + "/odd.exe", Bytes(stubBytes.begin(), stubBytes.end() - 10));
  // A package given as the stub: its archive is found on a 256-byte boundary.
  // Padded to whole blocks, so that only the archive gives it away.
  Bytes package = Concat(stubBytes, Block("", ""), zipBytes);
  package.resize((package.size() + 255) / 256 * 256);
  WriteFile(dir + "/package.exe", package);
  // A ZIP file given as the stub (with --stub: first, it would be what gets packed), padded
  // to whole blocks.
  Bytes padded = zipBytes;
  padded.resize((padded.size() + 255) / 256 * 256);
  WriteFile(dir + "/zipstub.exe", padded);
  WriteFile(dir + "/empty.exe", {});
  // Programs that are not Zelvix stubs: the stub's first 512 bytes (headers whose sections lie
  // beyond the file), the stub without its mark, a 64-bit PE, text.
  WriteFile(dir + "/fake.exe", Bytes(stubBytes.begin(), stubBytes.begin() + 512));
  Bytes unmarked = stubBytes;
  unmarked[0x200] = 'z';
  WriteFile(dir + "/unmarked.exe", unmarked);
  Bytes wide = stubBytes;
  StoreLE16(&wide[0x44], 0x8664);
  WriteFile(dir + "/amd64.exe", wide);
  WriteFile(dir + "/text.exe", Bytes(512, 'a'));
  ExpectRefusals({
      {{dir + "/odd.exe", zip}, dir + "/odd.exe", "multiple of 256"},
      {{dir + "/package.exe", zip}, dir + "/package.exe", "archive is attached"},
      {{"--stub", dir + "/zipstub.exe", zip}, dir + "/zipstub.exe", "not a bare stub"},
      {{dir + "/empty.exe", zip}, dir + "/empty.exe", "empty"},
      {{dir + "/fake.exe", zip}, dir + "/fake.exe", "not a Zelvix stub: a PE section lies outside the file"},
      {{dir + "/unmarked.exe", zip}, dir + "/unmarked.exe", "not a Zelvix stub: a Windows program without"},
      {{dir + "/amd64.exe", zip}, dir + "/amd64.exe", "not a Zelvix stub: not a 32-bit x86"},
      {{dir + "/text.exe", zip}, dir + "/text.exe", "not a Zelvix stub: not a Windows program"},
  });
  EXPECT_FALSE(Exists(dir + "/archive.exe"));
}

TEST_F(PackTest, RefusesAZipWithoutLeadingLocalHeader) {
  Bytes prefixed = Text("self-extracting prefix");
  prefixed.insert(prefixed.end(), zipBytes.begin(), zipBytes.end());
  WriteFile(dir + "/prefixed.zip", prefixed);
  WriteFile(dir + "/tiny.zip", Text("PK"));
  ExpectRefusals({
      {{stub, dir + "/prefixed.zip"}, dir + "/prefixed.zip", "local file header"},
      {{stub, dir + "/tiny.zip"}, dir + "/tiny.zip", "local file header"},
  });
  EXPECT_FALSE(Exists(dir + "/prefixed.exe"));
  EXPECT_FALSE(Exists(dir + "/tiny.exe"));
}

TEST_F(PackTest, RefusesBadOptionsAndLongExtractPath) {
  // The argument at fault takes the place of a file name; an argument of any length is refused
  // at once (the tool runs under a time limit).
  const std::string tooLong(ExtPathReadLength + 1, 'x'), farTooLong(70000, 'x');
  ExpectRefusals({
      {{stub, zip, "2"}, "2", "options"},
      {{stub, zip, "abcd"}, "abcd", "options"},
      {{stub, zip, "11011"}, "11011", "options"},
      {{stub, zip, "1 0"}, "1 0", "options"},
      {{stub, zip, "1", tooLong}, tooLong, "at most 241"},
      {{stub, zip, "0000", farTooLong}, farTooLong, "at most 241"},
  });
  EXPECT_FALSE(Exists(dir + "/archive.exe"));
}

TEST_F(PackTest, RefusesToOverwriteItsInputs) {
  ExpectRefusals({
      {{"-o", stub, stub, zip}, stub, "overwrite"},
      {{"-o", zip, stub, zip}, zip, "overwrite"},
      {{"-o", dir + "/no/such/dir/out.exe", stub, zip}, dir + "/no/such/dir/out.exe", std::strerror(ENOENT)},
  });
  EXPECT_EQ(ReadFile(stub), stubBytes);
  EXPECT_EQ(ReadFile(zip), zipBytes);
}

// A ZIP file of `size` bytes that costs no disk: a local header, then a hole.
void WriteSparseZip(const std::string& name, uint64_t size) {
  const Bytes header = MakeZip({{"big.bin", Bytes(), false, 0}});
  WriteFile(name, Bytes(header.begin(), header.begin() + 30 + 7));
  ASSERT_EQ(truncate(name.c_str(), off_t(size)), 0);
}

TEST_F(PackTest, PackageMustEndWithinThirtyTwoBitPositions) {
  // The stub reads its package with 32-bit positions: its last byte may be at 2^31 - 2.
  // Every package goes to /dev/full: one that gets past the check fails at its first write
  // (ENOSPC) instead of copying gigabytes.
  const uint64_t fits = uint64_t(INT32_MAX) - stubBytes.size() - OptionsBlockSize;
  WriteSparseZip(dir + "/fits.zip", fits);
  WriteSparseZip(dir + "/over.zip", fits + 1);
  WriteSparseZip(dir + "/huge.zip", uint64_t(1) << 32);
  ExpectRefusals({
      {{"-o", "/dev/full", stub, dir + "/over.zip"}, dir + "/over.zip", "2147483647"},
      {{"-o", "/dev/full", stub, dir + "/huge.zip"}, dir + "/huge.zip", "2147483647"},
      {{"-o", "/dev/full", stub, dir + "/fits.zip"}, "/dev/full", std::strerror(ENOSPC)},
  });
}

bool IsCharacterDevice(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

TEST_F(PackTest, OutputNotWrittenWholeIsReportedAndRemoved) {
  ASSERT_EQ(Pack({stub, zip}).status, 0);
  const std::string package = dir + "/archive.exe";
  // /dev/full takes nothing (ENOSPC) and stays what it is; under a file-size limit a write is
  // cut short and then fails (EFBIG), and the part written is removed.
  const std::string packageLimit = std::to_string(stubBytes.size() + 100);
  const std::string dumpLimit = std::to_string(zipBytes.size() / 2);
  const struct {
    std::vector<std::string> args;
    std::string output, limit;
    int error;
  } cases[] = {
      {{"-o", "/dev/full", stub, zip}, "/dev/full", "", ENOSPC},
      {{"--dump", package, "/dev/full"}, "/dev/full", "", ENOSPC},
      {{"-o", dir + "/cut.exe", stub, zip}, dir + "/cut.exe", packageLimit, EFBIG},
      {{"--dump", package, dir + "/cut.zip"}, dir + "/cut.zip", dumpLimit, EFBIG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    ExpectRefusal(Pack(c.args, c.limit), c.output, std::strerror(c.error));
    if (c.output.rfind("/dev/", 0) == 0)
      EXPECT_TRUE(IsCharacterDevice(c.output));
    else
      EXPECT_FALSE(Exists(c.output));
  }
}

TEST_F(PackTest, MalformedCommandLinesExitWithUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {stub}, {stub, zip, "1", "x", "extra"}, {"-o"}, {"--bogus", stub, zip},
        {"--list"}, {"--dump", stub}}) {
    const ToolRun run = Pack(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
  }
}

TEST_F(PackTest, HelpExplainsEveryOption) {
  const ToolRun run = Pack({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* flag : {"a.start", "a.close", "r.setup", "t.dir"}) {
    const size_t at = run.out.find(std::string("  ") + flag + "  ");
    ASSERT_NE(at, std::string::npos) << flag;
    // Two lines each: the flag's line and one continuation line.
    const size_t first = run.out.find('\n', at);
    const size_t second = run.out.find('\n', first + 1);
    EXPECT_EQ(run.out.substr(first + 1, 11), std::string(11, ' ')) << flag;
    EXPECT_NE(second, std::string::npos);
  }
  // Every option on a line of its own, each taken by the tool (none is unknown to it).
  for (const char* option : {"-o", "--stub", "--auto-start", "--auto-close", "--run-setup", "--temp-dir",
                             "--extract-path", "--method", "--icon", "--title", "--version-info", "--list", "--dump",
                             "--help", "--version"}) {
    const std::string line = std::string("\n  ") + option + " ";
    const size_t at = run.out.find(line);
    ASSERT_NE(at, std::string::npos) << option;
    const size_t end = run.out.find('\n', at + 1);
    EXPECT_GT(end - at - line.size(), 10u) << option << ": no explanation";
    EXPECT_EQ(Pack({option}).err.find("unknown option"), std::string::npos) << option;
  }
}

// The whitespace-separated fields of the listing line that ends with name.
std::vector<std::string> EntryLine(const std::string& listing, const std::string& name) {
  const size_t end = listing.find(" " + name + "\n");
  if (end == std::string::npos) return {};
  const size_t start = listing.rfind('\n', end) + 1;
  std::vector<std::string> fields;
  std::string field;
  for (char c : listing.substr(start, end + 1 + name.size() - start) + " ") {
    if (c != ' ') { field += c; continue; }
    if (!field.empty()) fields.push_back(field);
    field.clear();
  }
  return fields;
}

TEST_F(PackTest, ListShowsOptionsAndEntries) {
  ASSERT_EQ(Pack({stub, zip, "101", "C:\\Tools"}).status, 0);
  const ToolRun run = Pack({"--list", dir + "/archive.exe"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("a.start on, a.close off, r.setup on, t.dir off"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("extract path: C:\\Tools\n"), std::string::npos) << run.out;
  using Fields = std::vector<std::string>;
  // The entries' DOS time, 0x5821 0x6000: the writer's local time, so no "Z".
  const std::string time = "2024-01-01T12:00:00";
  EXPECT_EQ(EntryLine(run.out, "readme.txt"), (Fields{"stored", "8", "8", "no", time, "readme.txt"})) << run.out;
  const Fields manual = EntryLine(run.out, "docs/manual.txt");
  ASSERT_EQ(manual.size(), 6u) << run.out;
  EXPECT_EQ(manual[0], "deflate");
  EXPECT_LT(std::stoul(manual[1]), std::stoul(manual[2]));
  EXPECT_EQ(manual[3], "no");
  EXPECT_EQ(EntryLine(run.out, "secret.bin"), (Fields{"stored", "20", "20", "yes", time, "secret.bin"})) << run.out;
  EXPECT_NE(run.out.find("4 entries"), std::string::npos) << run.out;
}

// The modified column (DOS times: ListShowsOptionsAndEntries): a UT field's modification time,
// ahead of the DOS time, in UTC with "Z" (read as signed, so 0x80000000 is in 1901); the DOS
// time when the field has no modification time; "-" when no time is valid (DOS date 0).
TEST_F(PackTest, ListShowsEachEntrysStoredTime) {
  auto ut = [](uint8_t flags, uint32_t seconds) {
    Bytes field;
    Put16(field, 0x5455);
    Put16(field, 5);
    field.push_back(flags);
    Put32(field, seconds);
    return field;
  };
  const struct {
    const char* name;
    Bytes extra;
    uint16_t date, time;
    const char* shown;
  } cases[] = {
      {"ut.txt", ut(1, 1615725297), 0x5821, 0x6000, "2021-03-14T12:34:57Z"},
      {"ut-1901.txt", ut(1, 0x80000000u), 0x5821, 0x6000, "1901-12-13T20:45:52Z"},
      {"ut-without-mtime.txt", ut(2, 1615725297), 0x5821, 0x6000, "2024-01-01T12:00:00"},
      {"no-time.txt", {}, 0, 0, "-"},
  };
  std::vector<ZipEntry> entries;
  for (const auto& c : cases) entries.push_back({c.name, Text("x"), false, 0, c.extra, c.date, c.time});
  WriteFile(zip, MakeZip(entries));
  ASSERT_EQ(Pack({stub, zip}).status, 0);
  const ToolRun run = Pack({"--list", dir + "/archive.exe"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const auto& c : cases) {
    EXPECT_EQ(EntryLine(run.out, c.name), (std::vector<std::string>{"stored", "1", "1", "no", c.shown, c.name}))
        << run.out;
  }
}

TEST_F(PackTest, ListReportsTruncationInsteadOfDying) {
  const Bytes package = Concat(stubBytes, Block("", ""), zipBytes);
  const size_t archive = stubBytes.size() + OptionsBlockSize;
  // Cut inside the second local header (the first entry: 30 + 10 + 8 bytes).
  WriteFile(dir + "/cut.exe", Bytes(package.begin(), package.begin() + long(archive + 48 + 12)));
  ToolRun run = Pack({"--list", dir + "/cut.exe"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.out.find("readme.txt"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("truncated"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Corrupted archive"), std::string::npos) << run.err;
  // Entries without a central directory behind them: the walk runs into the end of the file.
  const Bytes bare = MakeZip({{"only.txt", Text("abc"), false, 0}});
  const size_t localPart = 30 + 8 + 3;
  WriteFile(dir + "/nocd.zip", Bytes(bare.begin(), bare.begin() + long(localPart)));
  ASSERT_EQ(Pack({stub, dir + "/nocd.zip"}).status, 0);
  run = Pack({"--list", dir + "/nocd.exe"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.out.find("only.txt"), std::string::npos);
  EXPECT_NE(run.err.find("truncated"), std::string::npos) << run.err;
  // Entry data running past the end of the file.
  WriteFile(dir + "/short.exe", Bytes(package.begin(), package.begin() + long(archive + 30 + 10 + 3)));
  run = Pack({"--list", dir + "/short.exe"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("truncated"), std::string::npos) << run.err;
}

TEST_F(PackTest, ListAndDumpRefuseWhatIsNotAPackage) {
  ExpectRefusals({
      {{"--list", stub}, stub, "not a package"},
      {{"--dump", stub, dir + "/out.zip"}, stub, "not a package"},
      {{"--list", dir + "/none.exe"}, dir + "/none.exe", std::strerror(ENOENT)},
  });
  EXPECT_FALSE(Exists(dir + "/out.zip"));
}

TEST_F(PackTest, DumpWritesTheAttachedArchive) {
  ASSERT_EQ(Pack({stub, zip, "1111", "x"}).status, 0);
  const ToolRun run = Pack({"--dump", dir + "/archive.exe", dir + "/dumped.zip"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir + "/dumped.zip"), zipBytes);
  const std::string package = dir + "/archive.exe";
  const Bytes before = ReadFile(package);
  ExpectRefusal(Pack({"--dump", package, package}), package, "overwrite");
  EXPECT_EQ(ReadFile(package), before);
}

// Folders: a tree with names in several languages, an empty folder, nested folders and fixed
// times (odd seconds, for the MS-DOS fields' two-second steps).
struct TreeFile {
  std::string name;
  Bytes data;
  int64_t modified = 0;  // 0: the next of the tree's times
};

void MakeTree(const std::string& root, const std::vector<TreeFile>& files, const std::vector<std::string>& emptyDirs) {
  int64_t when = 1600000001;
  auto stamp = [&](const std::string& path) {
    const timespec times[2] = {{time_t(when), 0}, {time_t(when), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
    when += 86400 * 40 + 3;
  };
  for (const TreeFile& f : files) {
    const std::string path = root + "/" + f.name;
    ASSERT_EQ(std::system(("mkdir -p " + Quote(path.substr(0, path.rfind('/')))).c_str()), 0);
    WriteFile(path, f.data);
    const int64_t next = when;
    if (f.modified != 0) when = f.modified;
    stamp(path);
    if (f.modified != 0) when = next;
  }
  for (const std::string& d : emptyDirs) {
    ASSERT_EQ(std::system(("mkdir -p " + Quote(root + "/" + d)).c_str()), 0);
    stamp(root + "/" + d);
  }
}

Bytes Noise(size_t size, uint32_t seed) {
  Bytes b(size);
  for (uint8_t& c : b) {
    seed = seed * 1103515245 + 12345;
    c = uint8_t(seed >> 16);
  }
  return b;
}

std::vector<TreeFile> SampleTree() {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + " of a compressible file\n";
  return {{"setup.exe", Text("MZ stand-in")},
          {"readme.txt", Text(text)},
          {"Größe/Übersicht.txt", Text("Deutsch " + text)},
          {"日本語/ファイル.txt", Text("日本語のテキスト " + text)},
          {"Русский.txt", Text("Русский текст")},
          {"ελληνικά/δεδομένα.bin", Noise(5000, 7)},
          {"a/b/c/deep.dat", Text(text + text)},
          {"zero", {}},
          // Before the MS-DOS fields' first day, and past the extended-time field's last second.
          {"old/1970.txt", Text("old"), 100},
          {"new/2128.txt", Text("new"), 5000000000}};
}

// Runs a script of tests/tools with Python, its arguments quoted; its status and output.
ToolRun RunTestScript(const std::string& script, const std::vector<std::string>& args) {
  const TempDir capture;
  const std::string out = capture.Path("out");
  std::string command = "timeout 60 python3 " + Quote(std::string(ZELVIX_SOURCE_DIR) + "/tests/tools/" + script);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote(out) + " 2>&1";
  ToolRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const Bytes o = ReadFile(out);
  run.out.assign(o.begin(), o.end());
  return run;
}

// Runs tests/tools/check_pack.py on a dump (Python's zipfile, 7z t, unzip -t); its output.
ToolRun CheckPack(const std::string& dump, const std::string& tree, const std::string& method) {
  return RunTestScript("check_pack.py", {dump, tree, method});
}

const char* const Methods[] = {"solid", "lzma", "deflate", "store"};

TEST_F(PackTest, FolderPackagesReadBackInEveryMethodAndRepeatTheirBytes) {
  const std::string tree = dir + "/tree";
  MakeTree(tree, SampleTree(), {"empty", "a/leer"});
  // The default output: the folder's name with ".exe", beside it; solid by default.
  ToolRun run = Pack({stub, tree + "/", "001"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, tree + ".exe\n");
  for (const char* method : Methods) {
    SCOPED_TRACE(method);
    const std::string first = dir + "/" + method + ".exe", second = dir + "/" + method + "-again.exe";
    run = Pack({"-o", first, "--method", method, stub, tree, "001"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress line in a pipe
    ASSERT_EQ(Pack({"--method", method, "-o", second, stub, tree, "001"}).status, 0);
    EXPECT_EQ(ReadFile(first), ReadFile(second));
    const Bytes package = ReadFile(first);
    EXPECT_EQ(Bytes(package.begin(), package.begin() + long(stubBytes.size() + OptionsBlockSize)),
              Concat(stubBytes, Block("001", ""), {}));
    ASSERT_EQ(Pack({"--dump", first, dir + "/dump.zip"}).status, 0);
    const ToolRun check = CheckPack(dir + "/dump.zip", tree, method);
    EXPECT_EQ(check.out, "ok\n");
    EXPECT_EQ(Pack({"--list", first}).status, 0);
  }
  EXPECT_EQ(ReadFile(tree + ".exe"), ReadFile(dir + "/solid.exe"));
}

TEST_F(PackTest, FolderEntriesAreStoredWhereCompressionDoesNotPay) {
  const std::string tree = dir + "/tree";
  MakeTree(tree, {{"noise.bin", Noise(3000, 1)}, {"text.txt", Text(std::string(4000, 'a'))}, {"tiny", Text("x")},
                  {"zero", {}}},
           {});
  for (const char* method : {"lzma", "deflate"}) {
    SCOPED_TRACE(method);
    ASSERT_EQ(Pack({"-o", dir + "/p.exe", "--method", method, stub, tree}).status, 0);
    const ToolRun list = Pack({"--list", dir + "/p.exe"});
    EXPECT_EQ(EntryLine(list.out, "noise.bin")[0], "stored") << list.out;
    EXPECT_EQ(EntryLine(list.out, "tiny")[0], "stored") << list.out;
    EXPECT_EQ(EntryLine(list.out, "zero")[0], "stored") << list.out;
    EXPECT_EQ(EntryLine(list.out, "text.txt")[0], method) << list.out;
    ASSERT_EQ(Pack({"--dump", dir + "/p.exe", dir + "/dump.zip"}).status, 0);
    EXPECT_EQ(CheckPack(dir + "/dump.zip", tree, method).out, "ok\n");
  }
}

TEST_F(PackTest, RefusesZipEntriesTheStubCannotUnpack) {
  auto entry = [](const char* name, int method, uint16_t flags) {
    ZipEntry e{name, Text("data"), false, flags};
    e.method = method;
    return e;
  };
  const struct {
    const char* file;
    std::vector<ZipEntry> entries;
    const char* options;
    std::string mention;  // empty: packed
  } cases[] = {
      {"bzip2.zip", {entry("a.txt", 0, 0), entry("b.bz", 12, 0)}, "", "entry 'b.bz' uses compression method 12 (bzip2)"},
      {"aes.zip", {entry("aes.bin", 99, 1)}, "", "entry 'aes.bin' is AES-encrypted"},
      {"strong.zip", {entry("strong.bin", 0, 0x41)}, "", "entry 'strong.bin' uses strong encryption"},
      {"nosetup.zip", {entry("a.txt", 0, 0)}, "001", "no setup.exe stands at the top of the archive"},
      {"subsetup.zip", {entry("bin/setup.exe", 0, 0)}, "0010", "found: bin/setup.exe"},
      {"setupdir.zip", {entry("setup.exe/", 0, 0)}, "001", "no setup.exe"},
      {"upper.zip", {entry("SETUP.EXE", 0, 0)}, "001", ""},
      {"traditional.zip", {entry("t.bin", 8, 1), entry("l.bin", 14, 0)}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string zipName = dir + "/" + c.file, out = dir + "/out.exe";
    WriteFile(zipName, MakeZip(c.entries));
    const ToolRun run = Pack({"-o", out, stub, zipName, c.options});
    if (c.mention.empty()) {
      EXPECT_EQ(run.status, 0) << run.err;
    } else {
      ExpectRefusal(run, zipName, c.mention);
      EXPECT_FALSE(Exists(out));
    }
    unlink(out.c_str());
  }
}

TEST_F(PackTest, RefusesFoldersItCannotPackSoundly) {
  const std::string plain = dir + "/plain", nested = dir + "/nested", linked = dir + "/linked", big = dir + "/big";
  MakeTree(plain, {{"a.txt", Text("a")}}, {});
  MakeTree(nested, {{"bin/setup.exe", Text("MZ")}}, {});
  MakeTree(linked, {{"a.txt", Text("a")}}, {});
  ASSERT_EQ(symlink("a.txt", (linked + "/link").c_str()), 0);
  // A sparse file: 2 GiB that cost no disk; refused before it is read.
  MakeTree(big, {{"huge.bin", {}}}, {});
  ASSERT_EQ(truncate((big + "/huge.bin").c_str(), off_t(1) << 31), 0);
  const struct {
    std::string folder, method, options, name, mention;
  } cases[] = {
      {plain, "solid", "001", plain, "no setup.exe stands at the top"},
      {plain, "lzma", "0010", plain, "no setup.exe stands at the top"},
      {nested, "solid", "001", nested, "no setup.exe"},
      {linked, "solid", "", linked + "/link", "symbolic link"},
      {big, "solid", "", big, "solid payload would have"},
      {big, "store", "", big, "2147483647"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder + " " + c.method);
    ExpectRefusal(Pack({"-o", dir + "/out.exe", "--method", c.method, stub, c.folder, c.options}), c.name, c.mention);
    EXPECT_FALSE(Exists(dir + "/out.exe"));
  }
  const ToolRun run = Pack({"--method", "bzip2", stub, plain});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(Pack({"--method", "lzma", stub, zip}).status, 2);
}

// A solid package's archive given as a ZIP file: its payload is decoded and checked as the
// package would read it.
TEST_F(PackTest, SolidArchivesFromElsewhereAreCheckedThroughTheirPayload) {
  const std::string tree = dir + "/tree", bare = dir + "/bare";
  MakeTree(tree, SampleTree(), {"empty"});
  MakeTree(bare, {{"a.txt", Text("no setup here")}}, {});
  ASSERT_EQ(Pack({"-o", dir + "/tree.exe", stub, tree}).status, 0);
  ASSERT_EQ(Pack({"-o", dir + "/bare.exe", stub, bare}).status, 0);
  ASSERT_EQ(Pack({"--dump", dir + "/tree.exe", dir + "/tree.zip"}).status, 0);
  ASSERT_EQ(Pack({"--dump", dir + "/bare.exe", dir + "/bare.zip"}).status, 0);
  // Repacked as it is, the same package.
  ToolRun run = Pack({"-o", dir + "/again.exe", stub, dir + "/tree.zip", "001"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir + "/again.exe"), Concat(stubBytes, Block("001", ""), ReadFile(dir + "/tree.zip")));
  ExpectRefusal(Pack({"-o", dir + "/out.exe", stub, dir + "/bare.zip", "001"}), dir + "/bare.zip",
                "no setup.exe stands at the top of the payload");
  // The index's LZMA data damaged (they follow the index's own header: 30 bytes, "payload.idx",
  // the 8-byte marker field, then the 9 bytes of the LZMA header).
  Bytes changed = ReadFile(dir + "/tree.zip");
  changed[30 + 11 + 8 + 9 + 20] ^= 0x20;
  WriteFile(dir + "/changed.zip", changed);
  ExpectRefusal(Pack({"-o", dir + "/out.exe", stub, dir + "/changed.zip"}), dir + "/changed.zip",
                "entry 'payload.idx' does not decode to local headers");
  // The payload's LZMA data damaged half-way.
  Bytes damaged = ReadFile(dir + "/tree.zip");
  damaged[damaged.size() / 2] ^= 0xFF;
  WriteFile(dir + "/damaged.zip", damaged);
  run = Pack({"-o", dir + "/out.exe", stub, dir + "/damaged.zip"});
  ExpectRefusal(run, dir + "/damaged.zip", "payload.zip");
  EXPECT_FALSE(Exists(dir + "/out.exe"));
}

// --- The package's identity: icon, title, version information ------------------------------

// Runs tests/tools/check_branding.py on a package built from stub; "-" for what was not asked.
ToolRun CheckBranding(const std::string& package, const std::string& stub, const std::string& icon,
                      const std::string& title, const std::string& versionInfo) {
  return RunTestScript("check_branding.py", {package, stub, icon, title, versionInfo});
}

void MakeIcon(const std::string& name, bool signature) {
  const std::string command = "python3 " + Quote(std::string(ZELVIX_SOURCE_DIR) + "/tests/tools/make_icon.py") + " " +
                              Quote(name) + (signature ? " --signature" : "");
  ASSERT_EQ(std::system(command.c_str()), 0);
}

// The stub of the win32 build (ZELVIX_STUB), which has the resources to rebrand.
std::string BuiltStub() {
  const char* stub = std::getenv("ZELVIX_STUB");
  return stub != nullptr && Exists(stub) ? stub : "";
}

// Every combination read back through the PE headers and the resource directory: the layout
// the locator needs, the icon's every image, the caption with the controls behind it intact,
// the version resource; what was not asked stays the stub's. An icon whose image is the
// local-header signature over and over must be moved off every 256-byte boundary.
TEST_F(PackTest, BrandedPackagesReadBackThroughTheResourceDirectory) {
  const std::string built = BuiltStub();
  if (built.empty()) GTEST_SKIP() << "no stub built (ZELVIX_STUB, the win32 preset)";
  const std::string icon = dir + "/app.ico", signatureIcon = dir + "/pk.ico";
  MakeIcon(icon, false);
  MakeIcon(signatureIcon, true);
  const std::string version =
      "ProductName=Zelvix Demo,FileVersion=1.2.3.4,CompanyName=ACME\\, Inc.,FileDescription=Démo Installer,"
      "LegalCopyright=© 2026 ACME";
  const struct {
    std::string icon, title, version;
  } cases[] = {
      {icon, "Demo Setup", version},
      {signatureIcon, "-", "-"},
      {"-", "日本語のタイトル — long enough to move the controls", "-"},
      {"-", "x", "FileVersion=7,ProductVersion=2.5"},
      {icon, "-", "ProductName=only a name"},
      {"-", std::string(MaxTitleCharacters, 'T'), "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.icon + " " + c.title + " " + c.version);
    std::vector<std::string> args = {"-o", dir + "/branded.exe"};
    if (c.icon != "-") args.insert(args.end(), {"--icon", c.icon});
    if (c.title != "-") args.insert(args.end(), {"--title", c.title});
    if (c.version != "-") args.insert(args.end(), {"--version-info", c.version});
    args.insert(args.end(), {built, zip, "1000"});
    const ToolRun run = Pack(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(CheckBranding(dir + "/branded.exe", built, c.icon, c.title, c.version).out, "ok\n");
    const ToolRun list = Pack({"--list", dir + "/branded.exe"});
    EXPECT_NE(list.out.find("4 entries"), std::string::npos) << list.out << list.err;
  }
  // Without them, the stub byte for byte.
  ASSERT_EQ(Pack({"-o", dir + "/plain.exe", built, zip}).status, 0);
  EXPECT_EQ(ReadFile(dir + "/plain.exe"), Concat(ReadFile(built), Block("", ""), zipBytes));
}

// Bad identity arguments are refused by name before anything is written, whatever the stub.
TEST_F(PackTest, RefusesBadIconTitleAndVersionInformation) {
  WriteFile(dir + "/text.ico", Text("not an icon at all"));
  Bytes cut = {0, 0, 1, 0, 2, 0};  // two images announced, no directory
  WriteFile(dir + "/cut.ico", cut);
  MakeIcon(dir + "/good.ico", false);
  Bytes outside = ReadFile(dir + "/good.ico");
  StoreLE32(&outside[6 + 12], uint32_t(outside.size()));  // the first image's offset: the end
  WriteFile(dir + "/outside.ico", outside);
  Bytes noImage = {0, 0, 1, 0, 0, 0};
  WriteFile(dir + "/none.ico", noImage);
  const std::string longTitle(MaxTitleCharacters + 1, 't');
  using Args = std::vector<std::string>;
  const struct {
    Args options;
    std::string name, mention;
  } cases[] = {
      {{"--icon", dir + "/text.ico"}, dir + "/text.ico", "not an icon file"},
      {{"--icon", dir + "/cut.ico"}, dir + "/cut.ico", "cut short"},
      {{"--icon", dir + "/outside.ico"}, dir + "/outside.ico", "image 1 lies outside"},
      {{"--icon", dir + "/none.ico"}, dir + "/none.ico", "no image"},
      {{"--icon", dir + "/missing.ico"}, dir + "/missing.ico", "cannot be read"},
      {{"--title", longTitle}, longTitle, "more than 63"},
      {{"--title", ""}, "--title", "empty"},
      {{"--title", "\xC3("}, "\xC3(", "not UTF-8"},
      {{"--version-info", "Colour=blue"}, "Colour=blue", "unknown key 'Colour'"},
      {{"--version-info", "FileVersion=1.2.3.4.5"}, "FileVersion=1.2.3.4.5", "one to four numbers"},
      {{"--version-info", "FileVersion=1.70000"}, "FileVersion=1.70000", "one to four numbers"},
      {{"--version-info", "ProductVersion=v2"}, "ProductVersion=v2", "one to four numbers"},
      {{"--version-info", "ProductName=a,ProductName=b"}, "ProductName=a,ProductName=b", "given twice"},
      {{"--version-info", "ProductName"}, "ProductName", "has no '='"},
      {{"--version-info", "ProductName="}, "ProductName=", "has no value"},
      {{"--version-info", "ProductName=a,"}, "ProductName=a,", "empty item"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Args args = c.options;
    args.insert(args.end(), {"-o", dir + "/out.exe", stub, zip});
    ExpectRefusal(Pack(args), c.name, c.mention);
    EXPECT_FALSE(Exists(dir + "/out.exe"));
  }
  // A stub without resources (the stand-in) cannot be given an identity.
  ExpectRefusal(Pack({"--title", "t", "-o", dir + "/out.exe", stub, zip}), stub, "resource");
}

// Installed as the .deb lays it out, zelvix-pack finds its stub without being told:
// <prefix>/bin/zelvix-pack and <prefix>/share/zelvix/zelvix.exe.
TEST_F(PackTest, InstalledToolFindsItsStub) {
  const std::string prefix = dir + "/prefix";
  ASSERT_EQ(std::system(("mkdir -p " + Quote(prefix + "/bin") + " " + Quote(prefix + "/share/zelvix")).c_str()), 0);
  ASSERT_EQ(std::system(("cp " + Quote(PackTool()) + " " + Quote(prefix + "/bin/zelvix-pack")).c_str()), 0);
  const std::string tree = dir + "/tree";
  MakeTree(tree, {{"a.txt", Text("a")}}, {});
  const std::string tool = prefix + "/bin/zelvix-pack";
  auto run = [&](const std::string& args) {
    return std::system(("timeout 20 " + Quote(tool) + " " + args + " >/dev/null 2>" + Quote(dir + "/err")).c_str());
  };
  // No stub installed yet: said so, naming where it was looked for.
  EXPECT_NE(run(Quote(zip)), 0);
  const Bytes err = ReadFile(dir + "/err");
  EXPECT_NE(std::string(err.begin(), err.end()).find("share/zelvix/zelvix.exe: no STUB given"), std::string::npos);
  WriteFile(prefix + "/share/zelvix/zelvix.exe", stubBytes);
  EXPECT_EQ(run("-o " + Quote(dir + "/zip.exe") + " " + Quote(zip) + " 1"), 0);
  EXPECT_EQ(ReadFile(dir + "/zip.exe"), Concat(stubBytes, Block("1", ""), zipBytes));
  EXPECT_EQ(run("--method store " + Quote(tree)), 0);
  const Bytes package = ReadFile(tree + ".exe");
  EXPECT_EQ(Bytes(package.begin(), package.begin() + long(stubBytes.size())), stubBytes);
}

}  // namespace
