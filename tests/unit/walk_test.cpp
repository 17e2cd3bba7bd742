// The entry walk: the fields it hands out, and why it stops, for damaged archives and for
// headers whose positions would pass the 2 GiB a package can address. Then the extraction run
// over it, with a stand-in for the main dialog: what it writes below a real directory, which
// items it leaves selected, and what it tells the user.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <algorithm>
#include <ctime>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#include "app/state.h"
#include "util/cipher.h"
#include "archive/entry_time.h"
#include "archive/extraction_run.h"
#include "archive/local_header.h"
#include "archive/entry_name.h"
#include "archive/walk.h"
#include "util/message.h"
#include "support/entry_runner.h"
#include "support/lzma_writer.h"
#include "support/temp_dir.h"

namespace {

std::string LE16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string LE32(uint32_t v) { return LE16(v) + LE16(v >> 16); }

// A local header; nameLength stands in for the name's own length where the test lies about it.
std::string Header(uint16_t flags, uint32_t csize, const std::string& name, const std::string& extra = "",
                   int nameLength = -1, uint16_t method = 8, uint32_t crc = 0xCAFEBABE) {
  return LE32(ZipLocalHeaderSignature) + LE16(20) + LE16(flags) + LE16(method) + LE16(0x6000) + LE16(0x5A81) +
         LE32(crc) + LE32(csize) + LE32(1234) + LE16(nameLength < 0 ? uint32_t(name.size()) : uint32_t(nameLength)) +
         LE16(uint32_t(extra.size())) + name + extra;
}

// A stored entry with its true CRC-32 and sizes.
std::string Stored(const std::string& name, const std::string& data, const std::string& extra = "") {
  const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
  return Header(0, uint32_t(data.size()), name, extra, -1, 0, crc).replace(22, 4, LE32(uint32_t(data.size()))) + data;
}

// An extended-timestamp extra field: flags, then the times they announce.
std::string Timestamp(uint8_t flags, const std::string& times) {
  return LE16(TimestampExtraId) + LE16(uint32_t(1 + times.size())) + char(flags) + times;
}

const std::string Central = LE32(ZipCentralHeaderSignature) + std::string(42, '\0');

// The local headers of records (each a header, its name, extra field and data), without data.
std::string HeadersOf(const std::vector<std::string>& records) {
  std::string headers;
  for (const std::string& r : records) {
    const size_t fields = (uint8_t(r[26]) | uint8_t(r[27]) << 8) + (uint8_t(r[28]) | uint8_t(r[29]) << 8);
    headers += r.substr(0, 30 + fields);
  }
  return headers;
}

// An LZMA entry (method 14, sizes in its header) of plain, without the last cut bytes of its
// stream.
std::string Lzma(const std::string& name, const std::string& plain, const std::string& extra = "", size_t cut = 0) {
  LzmaWriter writer;
  for (char c : plain) writer.Literal(uint8_t(c));
  const Bytes header = writer.Header(1 << 16), stream = writer.Finish();
  std::string data(header.begin(), header.end());
  data.append(stream.begin(), stream.end() - cut);
  const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(plain.data()), uInt(plain.size())));
  return Header(0, uint32_t(data.size()), name, extra, -1, 14, crc).replace(22, 4, LE32(uint32_t(plain.size()))) + data;
}

// A solid package's archive: the marked index of the records' local headers (index, when a
// test gives its own), then the records as one LZMA stream without its last cut bytes.
std::string Solid(const std::vector<std::string>& records, const std::string& index = "", size_t cut = 0) {
  std::string inner;
  for (const std::string& r : records) inner += r;
  const std::string marker = LE16(0x7A5A) + LE16(4) + LE16(2) + LE16(0);
  return Lzma("payload.idx", index.empty() ? HeadersOf(records) : index, marker) + Lzma("payload.zip", inner, "", cut);
}

class WalkTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetExtractorState();
    EnsureCrcTable();  // a solid index is checked against its CRC-32 as the walk decodes it
  }
  void TearDown() override {
    if (ArchiveHandle != NoFile) FileClose(ArchiveHandle);
    ArchiveHandle = NoFile;
  }
  // Writes bytes at offset (a sparse file below it) and opens the file as the archive.
  void Open(const std::string& bytes, off_t offset = 0) {
    const std::string path = dir_.Path("a.zip");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), ssize_t(bytes.size()));
    ::close(fd);
    ArchiveHandle = FileOpenRead(path.c_str());
    ASSERT_NE(ArchiveHandle, NoFile);
  }
  // Walks from offset; returns the number of entries, leaving the walk's end in stop.
  int Walk(int32_t offset, WalkStop& stop) {
    EntryWalk walk;
    EXPECT_TRUE(StartWalk(walk, ArchiveHandle, offset));
    walk.entersIndex = true;
    int entries = 0;
    while (NextEntry(walk)) ++entries;
    stop = walk.stop;
    return entries;
  }
  TempDir dir_;
};

TEST_F(WalkTest, HandsOutFieldsNameExtraAndPositions) {
  Open(std::string(100, 'x') + Header(0x0001, 5, "a.txt", "EXTR") + "hello" + Central);
  EntryWalk walk;
  ASSERT_TRUE(StartWalk(walk, ArchiveHandle, 100));
  ASSERT_TRUE(NextEntry(walk));
  EXPECT_EQ(walk.header.Crc32, 0xCAFEBABEu);  // fields little-endian
  EXPECT_EQ(walk.header.CompressedSize, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(walk.name), walk.header.NameLength), "a.txt");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(walk.extra), walk.header.ExtraLength), "EXTR");
  EXPECT_EQ(walk.headerPos, 100);
  EXPECT_EQ(walk.dataPos, 100 + 30 + 5 + 4);
  EXPECT_EQ(walk.nextHeader, 100 + 30 + 5 + 4 + 5);
  EXPECT_FALSE(NextEntry(walk));
  EXPECT_EQ(walk.stop, WalkStop::End);
}

// Why the walk stops. Positions near the end of what 32-bit signed offsets address are tried in
// sparse files (at: where the bytes are written and the walk starts): every sum of header
// fields is checked before it is used, so none wraps to a negative or stale position.
TEST_F(WalkTest, StopsForTheRightReason) {
  struct Case {
    const char* what;
    std::string archive;
    int entries;
    WalkStop stop;
    int32_t at = 0;
  };
  const std::string entry = Header(0, 3, "e") + "abc";
  const std::vector<std::string> records = {Stored("a.txt", "A"), Stored("b.txt", "B")};
  const std::string index = HeadersOf(records), marker = LE16(0x7A5A) + LE16(4) + LE16(2) + LE16(0);
  const std::string payload = Solid(records).substr(Lzma("payload.idx", index, marker).size());
  const Case cases[] = {
      {"a solid index: its entries, then what follows the payload", Solid(records) + Central, 2, WalkStop::End},
      {"a solid index whose stream is cut", Lzma("payload.idx", index, marker, 3) + payload, 0, WalkStop::CutHeader},
      {"a solid index whose CRC-32 differs", Lzma("payload.idx", index, marker).replace(14, 4, LE32(7)) + payload, 0,
       WalkStop::CutHeader},
      {"a header running past the solid index's end", Solid(records, index.substr(0, index.size() - 1)), 1,
       WalkStop::CutHeader},
      {"central directory first", Central, 0, WalkStop::End},
      {"bytes 0 0 0 'P' are no header", std::string(3, '\0') + "P" + std::string(26, '\0'), 0, WalkStop::End},
      {"file ends inside the fixed part", entry.substr(0, 29), 0, WalkStop::CutHeader},
      {"name longer than the rest of the file", Header(0, 0, "short", "", 40000), 0, WalkStop::CutHeader},
      {"no record after the last entry", entry, 1, WalkStop::CutHeader},
      {"deferred size without a descriptor", entry + Header(0x0008, 0, "d") + "data data", 2, WalkStop::EndUnknown},
      {"size beyond 2 GiB", entry + Header(0, 0x7FFFFFF0, "big") + "abc", 1, WalkStop::TooFar},
      {"ZIP64 size beyond 2 GiB",
       Header(0, 0xFFFFFFFF, "z", LE16(1) + LE16(16) + LE32(5) + LE32(0) + LE32(0) + LE32(1)) + "hello", 0,
       WalkStop::TooFar},
      {"name and extra field of 64 KiB each, 100 KiB below the limit",
       Header(0, 0, "n", std::string(0xFFFF, 'e'), 0xFFFF), 0, WalkStop::TooFar, 0x7FFE7000},
      {"data running past the limit", Header(0, 0x100, "x") + "data", 0, WalkStop::TooFar, 0x7FFFFF00},
      {"next header inside the limit, beyond the end of the file", Header(0, 0x10, "x") + "data", 1,
       WalkStop::CutHeader, 0x7FFFFF00},
  };
  for (const Case& c : cases) {
    Open(c.archive, c.at);
    WalkStop stop;
    EXPECT_EQ(Walk(c.at, stop), c.entries) << c.what;
    EXPECT_EQ(stop, c.stop) << c.what;
    TearDown();
  }
}

TEST(StoredTimes, DosDatesOfTheCalendarAndTheExtendedTimestamp) {
  auto dos = [](int y, int mo, int d, int h, int mi, int s2) {  // s2: seconds / 2
    return std::pair<uint16_t, uint16_t>(uint16_t((y - 1980) << 9 | mo << 5 | d), uint16_t(h << 11 | mi << 5 | s2));
  };
  struct Case {
    const char* what;
    std::pair<uint16_t, uint16_t> dateTime;
    std::string extra;
    TimeSource source;
    int64_t utc;
    std::vector<int> local;  // year, month, day, hour, minute, second
  };
  const std::string ut = Timestamp(1, LE32(1615725296));
  const Case cases[] = {
      {"first DOS time", dos(1980, 1, 1, 0, 0, 0), "", TimeSource::Local, 0, {1980, 1, 1, 0, 0, 0}},
      {"last DOS time", dos(2107, 12, 31, 23, 59, 29), "", TimeSource::Local, 0, {2107, 12, 31, 23, 59, 58}},
      {"29 February 2000", dos(2000, 2, 29, 8, 0, 0), "", TimeSource::Local, 0, {2000, 2, 29, 8, 0, 0}},
      {"29 February 2001", dos(2001, 2, 29, 8, 0, 0), "", TimeSource::None, 0, {}},
      {"29 February 2100", dos(2100, 2, 29, 8, 0, 0), "", TimeSource::None, 0, {}},
      {"31 April", dos(2020, 4, 31, 8, 0, 0), "", TimeSource::None, 0, {}},
      {"month 0", dos(2020, 0, 1, 8, 0, 0), "", TimeSource::None, 0, {}},
      {"month 13", dos(2020, 13, 1, 8, 0, 0), "", TimeSource::None, 0, {}},
      {"day 0", dos(2020, 1, 0, 8, 0, 0), "", TimeSource::None, 0, {}},
      {"hour 24", dos(2020, 1, 1, 24, 0, 0), "", TimeSource::None, 0, {}},
      {"minute 60", dos(2020, 1, 1, 8, 60, 0), "", TimeSource::None, 0, {}},
      {"second 60", dos(2020, 1, 1, 8, 0, 30), "", TimeSource::None, 0, {}},
      {"UT after another field, before the DOS time", dos(2020, 1, 1, 8, 0, 0), LE16(0x000A) + LE16(4) + "abcd" + ut, TimeSource::Utc, 1615725296, {}},
      {"UT even with an invalid DOS time", {0, 0}, ut, TimeSource::Utc, 1615725296, {}},
      {"UT before 1970", {0, 0}, Timestamp(1, LE32(uint32_t(-86400))), TimeSource::Utc, -86400, {}},
      // A signed 32-bit count: 2038-01-19T03:14:07, then 1901-12-13T20:45:52.
      {"UT 0x7FFFFFFF", {0, 0}, Timestamp(1, LE32(0x7FFFFFFFu)), TimeSource::Utc, 2147483647, {}},
      {"UT 0x80000000", {0, 0}, Timestamp(1, LE32(0x80000000u)), TimeSource::Utc, -2147483648LL, {}},
      {"UT without its modification time", dos(2020, 1, 1, 8, 0, 0), Timestamp(6, LE32(5) + LE32(6)),
       TimeSource::Local, 0, {2020, 1, 1, 8, 0, 0}},
      {"UT cut short", dos(2020, 1, 1, 8, 0, 0), Timestamp(1, "xyz"), TimeSource::Local, 0, {2020, 1, 1, 8, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const StoredTime t = EntryModifiedTime(reinterpret_cast<const uint8_t*>(c.extra.data()), uint32_t(c.extra.size()),
                                           c.dateTime.first, c.dateTime.second);
    EXPECT_EQ(t.source, c.source);
    if (c.source == TimeSource::Utc) EXPECT_EQ(t.unixSeconds, c.utc);
    if (c.source != TimeSource::Local) continue;
    const CalendarTime& l = t.local;
    EXPECT_EQ(std::vector<int>({l.year, l.month, l.day, l.hour, l.minute, l.second}), c.local);
  }
}

// A central header that states what the local record at offset in records states (CRC-32 and
// sizes replaced where given), with offset as the local header's, plus extra.
std::string CentralOf(const std::string& records, size_t offset, uint32_t statedOffset, const std::string& extra = "",
                      int64_t crc = -1, int64_t size = -1) {
  std::string h = LE32(ZipCentralHeaderSignature) + LE16(20) + records.substr(offset + 4, 24) +
                  LE16(uint32_t(extra.size())) + LE16(0) + LE16(0) + LE16(0) + LE32(0) + LE32(statedOffset);
  if (crc >= 0) h.replace(16, 4, LE32(uint32_t(crc)));
  if (size >= 0) h.replace(20, 8, LE32(uint32_t(size)) + LE32(uint32_t(size)));
  const uint32_t nameLength = uint8_t(records[offset + 26]) | uint8_t(records[offset + 27]) << 8;
  return h + records.substr(offset + 30, nameLength) + extra;
}

// The end record of count central headers, size bytes, at offset.
std::string EndRecord(size_t count, size_t size, size_t offset, const std::string& comment = "") {
  return LE32(0x06054B50) + LE32(0) + LE16(uint32_t(count)) + LE16(uint32_t(count)) + LE32(uint32_t(size)) +
         LE32(uint32_t(offset)) + LE16(uint32_t(comment.size())) + comment;
}

TEST_F(WalkTest, FailedSeekLeavesAnErrorCodeForTheFatalReport) {
  Open("PK");
  errno = 0;
  SeekArchive(ArchiveHandle, -5);
  EXPECT_EQ(LastSeekPos, -1);
  EXPECT_NE(LastFileError(), 0u) << "a fatal report after it would end the process with code 0";
}

// An entry counts as listed when the central directory's next header names its local header and
// states its name, method, CRC-32 and sizes; without an end record (an archive cut short) every
// entry does.
TEST_F(WalkTest, CentralDirectoryDecidesWhichEntriesAreListed) {
  struct Case {
    const char* what;
    std::string archive;
    std::vector<bool> listed;
    int32_t at = 0;
  };
  const std::string a = Stored("a.txt", "A"), b = Stored("b.txt", "BB");
  // c.txt defers its CRC-32 and sizes to a descriptor; its central header has them.
  const std::string c = Header(FlagDataDescriptor, 0, "c.txt", "", -1, 0, 0) + "CCC" + LE32(DataDescriptorSignature) +
                        LE32(0x6B1AF1D4) + LE32(3) + LE32(3);
  const std::string records = a + b + c;
  const size_t ob = a.size(), oc = ob + b.size();
  const std::string ca = CentralOf(records, 0, 0), cb = CentralOf(records, ob, uint32_t(ob)),
                    cc = CentralOf(records, oc, uint32_t(oc), "", 0x6B1AF1D4, 3);
  auto directory = [&](const std::vector<std::string>& headers, size_t base = 0, const std::string& comment = "") {
    std::string all;
    for (const std::string& h : headers) all += h;
    return all + EndRecord(headers.size(), all.size(), base + records.size(), comment);
  };
  auto changed = [](std::string header, size_t at, const std::string& bytes) { return header.replace(at, bytes.size(), bytes); };
  // ZIP64: b's sizes and offset in its field, the directory's place in a ZIP64 end record; c's
  // CRC-32 another, so that the directory is seen to be read.
  const std::string zip64Field = LE16(Zip64ExtraId) + LE16(24) + LE32(2) + LE32(0) + LE32(2) + LE32(0) + LE32(uint32_t(ob)) + LE32(0);
  const std::string cb64 = changed(CentralOf(records, ob, 0xFFFFFFFF, zip64Field), 20, LE32(0xFFFFFFFF) + LE32(0xFFFFFFFF));
  const std::string headers64 = ca + cb64 + changed(cc, 16, LE32(1));
  const std::string zip64End = LE32(0x06064B50) + LE32(44) + LE32(0) + LE16(45) + LE16(45) + LE32(0) + LE32(0) +
                               LE32(3) + LE32(0) + LE32(3) + LE32(0) + LE32(uint32_t(headers64.size())) + LE32(0) +
                               LE32(uint32_t(records.size())) + LE32(0);
  const std::string locator = LE32(0x07064B50) + LE32(0) + LE32(uint32_t(records.size() + headers64.size())) + LE32(0) + LE32(1);
  const Case cases[] = {
      {"the directory agrees", records + directory({ca, cb, cc}), {true, true, true}},
      {"no end record: cut short", records + ca + cb + cc, {true, true, true}},
      {"another name", records + directory({ca, changed(cb, 46, "x"), cc}), {true, false, true}},
      {"another method", records + directory({ca, changed(cb, 10, LE16(8)), cc}), {true, false, true}},
      {"another CRC-32", records + directory({ca, cb, changed(cc, 16, LE32(1))}), {true, true, false}},
      {"another uncompressed size", records + directory({changed(ca, 24, LE32(2)), cb, cc}), {false, true, true}},
      {"another compressed size", records + directory({ca, cb, changed(cc, 20, LE32(4))}), {true, true, false}},
      {"an entry left out", records + directory({ca, cc}), {true, false, true}},
      {"listed in another order", records + directory({cb, ca, cc}), {false, true, true}},
      {"twice", records + directory({ca, ca, cb, cc}), {true, true, true}},
      {"an empty directory", records + directory({}), {false, false, false}},
      {"headers not where the end record says", records + ca + cb + cc + EndRecord(3, 3 * 46 + 15 - 1, records.size()),
       {false, false, false}},
      {"offsets counted from the package's first byte", std::string(300, 'x') + records +
       CentralOf(records, 0, 300) + CentralOf(records, ob, uint32_t(300 + ob)) +
       CentralOf(records, oc, uint32_t(300 + oc), "", 0x6B1AF1D4, 3) + EndRecord(3, ca.size() + cb.size() + cc.size(), 300 + records.size()),
       {true, true, true}, 300},
      {"offsets counted from the archive's", std::string(300, 'x') + records + directory({ca, cb, cc}), {true, true, true}, 300},
      {"a comment holding an end record's signature, then a signature's table",
       records + directory({ca, cb, cc}, 0, "PK\x05\x06 not an end") + std::string(4000, '\x30'), {true, true, true}},
      {"ZIP64 end record and fields", records + headers64 + zip64End + locator +
       EndRecord(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF), {true, true, false}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Open(k.archive);
    EntryWalk walk;
    ASSERT_TRUE(StartWalk(walk, ArchiveHandle, k.at));
    std::vector<bool> listed;
    while (NextEntry(walk)) listed.push_back(walk.listed);
    EXPECT_EQ(listed, k.listed);
    TearDown();
  }
}

std::string Backslashless(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// --- The extraction run -------------------------------------------------------------------------

// The main dialog as the run sees it: a list of items, all selected after a listing.
struct FakeDialog {
  std::vector<std::string> items;
  std::vector<bool> selected;
  bool storedPaths = true;
  std::function<void(const char*)> onProgress;  // runs where the dialog would show "Extracting: "
  int passwordPrompts = 0;
  int32_t lastPosition = -1;  // the last position the decoders reported
  int keepAlives = 0;         // calls of keepAlive so far
  int stopAt = 0;             // the call of keepAlive that answers stop (0: none)
  std::string stopBefore;     // showProgress answers stop for a target ending in this name
};
FakeDialog Fake;

// The first selected item of that name after `after`, wrapping around.
ListItem FakeFindItem(const char* name, int32_t, int32_t after) {
  const int32_t count = int32_t(Fake.items.size());
  for (int32_t step = 1; step <= count; ++step) {
    const int32_t at = (after + step + count) % count;
    if (strcasecmp(Fake.items[size_t(at)].c_str(), name) == 0 && Fake.selected[size_t(at)]) return {at, true};
  }
  return {-1, false};
}

const RunUi FakeUi{
    .begin = [](bool listOnly) { if (listOnly) Fake.items.clear(), Fake.selected.clear(); },
    .storedPaths = [] { return Fake.storedPaths; },
    .addItem = [](const char* name, int32_t) { Fake.items.push_back(name), Fake.selected.push_back(true); },
    .findItem = FakeFindItem,
    .deselect = [](int32_t item) { Fake.selected[size_t(item)] = false; },
    .selectedCount = [] { return int32_t(std::count(Fake.selected.begin(), Fake.selected.end(), true)); },
    .askPassword = [] { return ++Fake.passwordPrompts, TypedPassword{}; },
    .askOverwrite = [](const char*) { return OverwriteReply{true, false}; },
    .showProgress =
        [](const char* target) {
          if (Fake.onProgress) Fake.onProgress(target);
          const std::string path = target;
          return Fake.stopBefore.empty() || path.size() < Fake.stopBefore.size() ||
                 path.compare(path.size() - Fake.stopBefore.size(), std::string::npos, Fake.stopBefore) != 0;
        },
    .keepAlive = [](int32_t position) { return Fake.lastPosition = position, ++Fake.keepAlives != Fake.stopAt; },
    .end = [](bool hasPaths) { if (!hasPaths) Fake.storedPaths = false; },
    .announceSuccess = true,
};

// Closes the descriptor open on the new file an entry is written to before it takes target's
// name: the one in a work folder in target's directory.
void CloseOutputOf(const char* target) {
  const std::filesystem::path directory = std::filesystem::path(Backslashless(target)).parent_path();
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::filesystem::path link = std::filesystem::read_symlink(fd.path(), error);
    if (!error && link.parent_path().parent_path() == directory &&
        link.parent_path().filename().string().rfind("~zx", 0) == 0)
      ::close(std::stoi(fd.path().filename()));
  }
}

// Whether a file an entry was first written to is left anywhere below dir.
bool TemporaryFileLeft(const std::string& dir) {
  if (!std::filesystem::exists(dir)) return false;
  for (const auto& file : std::filesystem::recursive_directory_iterator(dir))
    if (file.path().filename().string().rfind("~zx", 0) == 0) return true;
  return false;
}

class ExtractionRunTest : public WalkTest {
protected:
  void SetUp() override {
    WalkTest::SetUp();
    EnsureCrcTable();
    Fake = FakeDialog();
    out_ = dir_.Path("out");
    ASSERT_LT(out_.size(), ExtractDirSize);
    std::copy(out_.begin(), out_.end(), ExtractDir);
  }
  // Runs and returns the messages shown (one "caption: text" line each).
  std::string RunOver(const std::string& zip, bool listOnly) {
    if (ArchiveHandle == NoFile) Open(zip + Central);
    testing::internal::CaptureStderr();
    ExtractionRun(FakeUi, listOnly);
    return testing::internal::GetCapturedStderr();
  }
  std::vector<std::string> LeftSelected() const {
    std::vector<std::string> left;
    for (size_t i = 0; i < Fake.items.size(); ++i)
      if (Fake.selected[i]) left.push_back(Fake.items[i]);
    return left;
  }
  std::string out_;
};

// Outcomes of an extraction after a listing: which items stay selected, what is said, whether
// the run counts as a success (for setup.exe), which files exist afterwards.
std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

TEST_F(ExtractionRunTest, OutcomesOfAnExtraction) {
  const std::string failed = "Extraction Error: The remaining highlighted file (s) failed CRC validation\n";
  const std::string deferred = Header(0x0008, 0, "d.txt", "", -1, 0) + "no descriptor follows";
  struct Case {
    const char* what;
    std::string zip;
    std::vector<std::string> chosen;   // items left selected before Extract
    bool failClose;                    // the output file's close fails
    std::string messages;
    bool ok;
    std::vector<std::string> left, written;
    std::vector<std::string> absent = {};  // below out_, or ../ for outside it
    bool storedPaths = true;
    bool failedUnlisted = false;  // a failure no item shows: the walk ended early
    // Files there before the run (name, contents): a failed entry leaves them as they were.
    std::vector<std::pair<std::string, std::string>> existing = {};
    bool readOnly = false;  // the existing files are read-only
  };
  const std::string success = "Zelvix result: Extraction successful on all files !\n";
  // An OEM name (code page 437), a UTF-8 one under flag 11, and a path of 1,206 bytes.
  const std::string utf8Name = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1/\xE6\x97\xA5\xE6\x9C\xAC.txt";
  std::string longName;
  for (char c : std::string("longer")) longName += std::string(200, c) + "/";
  longName += "end.txt";
  const std::string names =
      Stored("caf\x82.txt", "O") + Stored(utf8Name, "U").replace(6, 2, LE16(FlagUtf8Name)) + Stored(longName, "L");
  const std::string directories = Stored("empty/", "") + Stored("a/", "") + Stored("a/b/", "") + Stored("../x/", "") +
                                  Stored("f.txt", "F");
  const std::string listedRecords = Stored("a.txt", "A") + Stored("v.txt", "archive's");
  const std::vector<std::string> inner = {Stored("a.txt", "A"), Stored("docs/b.txt", std::string(70000, 'b')),
                                          Header(FlagEncrypted, 13, "e.bin", "", -1, 0, 0) + std::string(13, 'e'),
                                          Stored("c.txt", "C")};
  std::string lyingIndex = HeadersOf(inner);
  lyingIndex[HeadersOf({inner[0]}).size() + 14] ^= 1;  // b's CRC-32 differs from the payload's
  const std::string onlyA = CentralOf(listedRecords, 0, 0);
  const Case cases[] = {
      {"an entry the central directory leaves out is not written",
       listedRecords + onlyA + EndRecord(1, onlyA.size(), listedRecords.size()), {"a.txt", "v.txt"}, false, failed, false,
       {"v.txt"}, {"a.txt", "v.txt"}, {}, true, false, {{"v.txt", "the user's"}}},
      {"every entry written", Stored("a.txt", "A") + Stored("docs/b.txt", "BB"), {"a.txt", "docs/b.txt"}, false,
       success, true, {}, {"a.txt", "docs/b.txt"}},
      {"nothing chosen before an entry whose end is unknown", Stored("a.txt", "A") + Stored("d/", "") + deferred, {},
       false, "", false, {}, {}},
      {"an entry whose end is unknown chosen", Stored("a.txt", "A") + deferred, {"a.txt", "d.txt"}, false, failed,
       false, {"d.txt"}, {"a.txt"}},
      {"output that cannot be closed: said, and failed, after it took the name", Stored("empty.txt", ""),
       {"empty.txt"}, true, "Error Closing...: " + Backslashed(out_) + "\\empty.txt\n" + failed, false, {"empty.txt"},
       {"empty.txt"}},
      {"methods that cannot be decoded fail alone, said once",
       Stored("a.txt", "A") + Header(FlagEncrypted, 13, "aes.bin", "", -1, 99, 0) + std::string(13, 'x') +
           Header(0, 3, "bz.bin", "", -1, 12, 0) + "BZh" + Stored("c.txt", "C"),
       {"a.txt", "aes.bin", "bz.bin", "c.txt"}, false, "Unable to extract...: Unsupported compression method\n" + failed,
       false, {"aes.bin", "bz.bin"}, {"a.txt", "c.txt"}, {"aes.bin", "bz.bin"}},
      {"a CRC-32 mismatch leaves the file that was there", Stored("v.txt", "archive's").replace(14, 4, LE32(1)),
       {"v.txt"}, false, failed, false, {"v.txt"}, {"v.txt"}, {}, true, false, {{"v.txt", "the user's"}}},
      {"a read-only file is not replaced; entries in other directories after it are written",
       Stored("ro.txt", "new") + Stored("sub/x.txt", "X") + Stored("y.txt", "Y"), {"ro.txt", "sub/x.txt", "y.txt"},
       false, "Error Openning...: " + Backslashed(out_) + "\\ro.txt\n" + failed, false, {"ro.txt"},
       {"ro.txt", "sub/x.txt", "y.txt"}, {}, true, false, {{"ro.txt", "the user's"}}, true},
      {"data longer than the declared size stop there",
       Stored("v.txt", "ten bytes!").replace(22, 4, LE32(4)) + Stored("w.txt", "W"), {"v.txt", "w.txt"}, false, failed,
       false, {"v.txt"}, {"w.txt"}, {}, true, false, {{"v.txt", "the user's"}}},
      {"a nameless entry fails alone, said once", Stored("", "X") + Stored("a.txt", "A") + Header(0, 0, "", "", 0, 0, 0),
       {"a.txt"}, false, "Zelvix error: Error retreiving filename.\n" + failed, false, {}, {"a.txt"}, {}, true, true},
      {"directory entries made with the stored paths", directories, {"f.txt"}, false, success, true, {},
       {"empty", "a/b", "f.txt"}, {"../x"}},
      {"directory entries not made without them", directories, {"f.txt"}, false, success, true, {}, {"f.txt"},
       {"empty", "a", "../x"}, false},
      {"names in every language and of any length", names, {"caf\xC3\xA9.txt", utf8Name, longName}, false, success,
       true, {}, {"caf\xC3\xA9.txt", utf8Name, longName}},
      {"devices and names Windows cannot hold are refused",
       Stored("aux.txt", "A") + Stored("b.", "B") + Stored("c<d", "C") + Stored("ok.txt", "O"),
       {"aux.txt", "b.", "c<d", "ok.txt"}, false, failed, false, {"aux.txt", "b.", "c<d"}, {"ok.txt"},
       {"aux.txt", "b.", "c<d"}},
      {"solid: entries between chosen ones decoded and dropped; an encrypted one fails alone", Solid(inner),
       {"a.txt", "c.txt", "e.bin"}, false, failed, false, {"e.bin"}, {"a.txt", "c.txt"}, {"docs", "e.bin"}},
      {"solid: a payload that disagrees with its index fails the entries from there on", Solid(inner, lyingIndex),
       {"a.txt", "b.txt", "c.txt"}, false, failed, false, {"b.txt", "c.txt"}, {"a.txt"}, {"docs"}, false,
       false, {{"c.txt", "the user's"}}},
      {"solid: a cut payload fails what it cannot bring", Solid(inner, "", 5), {"a.txt", "c.txt"}, false, failed,
       false, {"c.txt"}, {"a.txt"}, {"c.txt"}},
      {"a directory entry that cannot be made, beneath a file", Stored("f.txt", "F") + Stored("f.txt/sub/", ""),
       {"f.txt"}, false, "Error Changing Dir: " + Backslashed(out_) + "\\f.txt\\sub\n" + failed, false, {}, {"f.txt"},
       {}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    std::filesystem::remove_all(out_);
    ExtractionOk = ExtractionFailed = false;
    Fake.storedPaths = c.storedPaths;
    if (!c.existing.empty()) std::filesystem::create_directories(out_);
    for (const auto& [name, contents] : c.existing) {
      WriteFile(out_ + "/" + name, Bytes(contents.begin(), contents.end()));
      if (c.readOnly) std::filesystem::permissions(out_ + "/" + name, std::filesystem::perms::owner_read);
    }
    const bool nameless = c.zip.compare(26, 2, LE16(0)) == 0;
    EXPECT_EQ(RunOver(c.zip, true), nameless ? "Zelvix error: Error retreiving filename.\n" : "");
    for (size_t i = 0; i < Fake.items.size(); ++i)
      Fake.selected[i] = std::find(c.chosen.begin(), c.chosen.end(), Fake.items[i]) != c.chosen.end();
    Fake.onProgress = [&](const char* target) { if (c.failClose) CloseOutputOf(target); };
    EXPECT_EQ(RunOver(c.zip, false), c.messages);
    EXPECT_EQ(ExtractionOk, c.ok);
    EXPECT_EQ(ExtractionFailed, !c.left.empty() || c.failedUnlisted) << "the exit code 2";
    EXPECT_EQ(Fake.passwordPrompts, 0);
    EXPECT_EQ(LeftSelected(), c.left);
    for (const std::string& name : c.written) EXPECT_TRUE(Exists(out_ + "/" + name)) << name;
    for (const std::string& name : c.absent) EXPECT_FALSE(Exists(out_ + "/" + name)) << name;
    for (const auto& [name, contents] : c.existing)
      if (std::find(c.left.begin(), c.left.end(), name) != c.left.end()) EXPECT_EQ(ReadFile(out_ + "/" + name), Bytes(contents.begin(), contents.end()));
    EXPECT_FALSE(TemporaryFileLeft(out_));
    if (c.written.empty() && c.existing.empty()) EXPECT_FALSE(Exists(out_));
  }
}

// The time an entry states goes on its file; an invalid one leaves the file's own.
TEST_F(ExtractionRunTest, StoredTimesGoOnTheFilesWritten) {
  const std::string noTime = Stored("none.txt", "n").replace(10, 4, LE32(0));  // DOS date and time 0
  const std::string records = Stored("ut.txt", "u", Timestamp(1, LE32(1615725296))) + Stored("dos.txt", "d") + noTime;
  RunOver(records, true);
  RunOver("", false);
  EXPECT_EQ(Fake.lastPosition, int32_t(records.size())) << "the decoders' last report: the end of the data";
  tm local{};  // the headers' DOS time: 2025-04-01 12:00:00, local
  local.tm_year = 125, local.tm_mon = 3, local.tm_mday = 1, local.tm_hour = 12, local.tm_isdst = -1;
  struct stat info;
  ASSERT_EQ(::stat((out_ + "/ut.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1615725296);
  ASSERT_EQ(::stat((out_ + "/dos.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, mktime(&local));
  ASSERT_EQ(::stat((out_ + "/none.txt").c_str(), &info), 0);
  EXPECT_GT(info.st_mtime, 1615725296) << "the time of the extraction";
  EXPECT_TRUE(LeftSelected().empty());
}

// A stop the window asks for, inside an entry (after the second of its three writes) or as it
// begins: that entry's new file is removed and the user's file there stays; the entry before it
// stays written and deselected, the rest highlighted; nothing is said, and the run counts as
// cancelled (exit code 1223) and failed (no setup.exe). In a solid package, also while the
// payload is decoded up to the entry.
TEST_F(ExtractionRunTest, StopAskedByTheWindowEndsTheRunAtOnce) {
  const std::vector<std::string> records = {Stored("a.txt", "A"), Stored("big.bin", std::string(70000, 'b')),
                                            Stored("c.txt", "C")};
  const std::string zip = records[0] + records[1] + records[2];
  struct Case {
    const char* what;
    std::string zip;
    int stopAt;
    const char* stopBefore;
  };
  const Case cases[] = {{"inside the entry", zip, 3, ""},
                        {"as the entry begins", zip, 0, "big.bin"},
                        {"solid, inside the entry", Solid(records), 4, ""},
                        {"solid, as the payload reaches the entry", Solid(records), 3, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    std::filesystem::remove_all(out_);
    std::filesystem::create_directories(out_);
    WriteFile(out_ + "/big.bin", Bytes{'o', 'l', 'd'});
    ExtractionOk = ExtractionFailed = ExtractionCancelled = false;
    RunOver(c.zip, true);
    Fake.keepAlives = 0;
    Fake.stopAt = c.stopAt;
    Fake.stopBefore = c.stopBefore;
    EXPECT_EQ(RunOver(c.zip, false), "") << "a closing message";
    EXPECT_TRUE(ExtractionCancelled);
    EXPECT_TRUE(ExtractionFailed);
    EXPECT_FALSE(ExtractionOk);
    EXPECT_EQ(LeftSelected(), (std::vector<std::string>{"big.bin", "c.txt"}));
    EXPECT_EQ(ReadFile(out_ + "/a.txt"), Bytes{'A'});
    EXPECT_EQ(ReadFile(out_ + "/big.bin"), (Bytes{'o', 'l', 'd'}));
    EXPECT_FALSE(Exists(out_ + "/c.txt"));
    EXPECT_FALSE(TemporaryFileLeft(out_));
  }
}

// Silent: no prompt and no message; an entry whose password is not known fails alone, and the
// walk goes on to the entries behind it.
TEST_F(ExtractionRunTest, SilentRunFailsOnlyTheEntryWithoutItsPassword) {
  const std::string locked = Header(FlagEncrypted, 12 + 1, "locked.txt", "", -1, 0, 0x12345678) + std::string(13, 'x');
  Open(Stored("a.txt", "A") + locked + Stored("b.txt", "B") + Central);
  QuietMessages = true;
  testing::internal::CaptureStderr();
  SilentExtraction();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  QuietMessages = false;
  EXPECT_TRUE(ExtractionFailed);
  EXPECT_FALSE(ExtractionOk);
  EXPECT_TRUE(Exists(out_ + "/a.txt") && Exists(out_ + "/b.txt"));
  EXPECT_FALSE(Exists(out_ + "/locked.txt"));
}

TEST_F(ExtractionRunTest, ListingThatMeetsAPositionBeyondTwoGibibytesEndsAsCorrupted) {
  const std::string zip = Stored("a.txt", "A") + Header(0, 0x7FFFFFF0, "big") + "abc";
  Open(zip);
  EXPECT_EXIT(ExtractionRun(FakeUi, true), ::testing::ExitedWithCode(1), "Error reading header... Corrupted archive!");
}

}  // namespace
