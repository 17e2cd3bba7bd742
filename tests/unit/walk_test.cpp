// The entry walk: the fields it hands out, and why it stops, for damaged archives and for
// headers whose positions would pass the 2 GiB a package can address. Then the extraction run
// over it, with a stand-in for the main dialog: what it writes below a real directory, which
// items it leaves selected, and what it tells the user.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#include "app/state.h"
#include "archive/extraction_run.h"
#include "archive/local_header.h"
#include "archive/walk.h"
#include "support/entry_runner.h"
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

// A stored entry with its true CRC-32.
std::string Stored(const std::string& name, const std::string& data) {
  const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
  return Header(0, uint32_t(data.size()), name, "", -1, 0, crc) + data;
}

const std::string Central = LE32(ZipCentralHeaderSignature) + std::string(42, '\0');

class WalkTest : public ::testing::Test {
protected:
  void SetUp() override { ResetExtractorState(); }
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
    EXPECT_TRUE(StartWalk(walk, offset));
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
  ASSERT_TRUE(StartWalk(walk, 100));
  ASSERT_TRUE(NextEntry(walk));
  EXPECT_EQ(LocalHeader.Flags, 0x0001);
  EXPECT_EQ(LocalHeader.Method, 8);
  EXPECT_EQ(LocalHeader.ModTime, 0x6000);
  EXPECT_EQ(LocalHeader.ModDate, 0x5A81);
  EXPECT_EQ(LocalHeader.Crc32, 0xCAFEBABEu);
  EXPECT_EQ(LocalHeader.UncompressedSize, 1234u);
  EXPECT_EQ(CompressedLeft, 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(walk.name), LocalHeader.NameLength), "a.txt");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(walk.extra), LocalHeader.ExtraLength), "EXTR");
  EXPECT_EQ(walk.headerPos, 100);
  EXPECT_EQ(walk.dataPos, 100 + 30 + 5 + 4);
  EXPECT_EQ(walk.nextHeader, 100 + 30 + 5 + 4 + 5);
  EXPECT_FALSE(NextEntry(walk));
  EXPECT_EQ(walk.stop, WalkStop::End);
}

TEST_F(WalkTest, StopsForTheRightReason) {
  struct Case {
    const char* what;
    std::string archive;
    int entries;
    WalkStop stop;
  };
  const std::string entry = Header(0, 3, "e") + "abc";
  const Case cases[] = {
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
  };
  for (const Case& c : cases) {
    Open(c.archive);
    WalkStop stop;
    EXPECT_EQ(Walk(0, stop), c.entries) << c.what;
    EXPECT_EQ(stop, c.stop) << c.what;
    TearDown();
  }
}

// Positions near the end of what 32-bit signed offsets address, in sparse files: every sum of
// header fields is checked before it is used, so none wraps to a negative or stale position.
TEST_F(WalkTest, PositionsNearTwoGibibytesNeverWrap) {
  struct Case {
    const char* what;
    int32_t at;
    std::string bytes;
    int entries;
    WalkStop stop;
  };
  const Case cases[] = {
      {"name and extra field of 64 KiB each, 100 KiB below the limit", 0x7FFE7000,
       Header(0, 0, "n", std::string(0xFFFF, 'e'), 0xFFFF), 0, WalkStop::TooFar},
      {"data running past the limit", 0x7FFFFF00, Header(0, 0x100, "x") + "data", 0, WalkStop::TooFar},
      {"next header inside the limit, beyond the end of the file", 0x7FFFFF00, Header(0, 0x10, "x") + "data", 1,
       WalkStop::CutHeader},
  };
  for (const Case& c : cases) {
    Open(c.bytes, c.at);
    WalkStop stop;
    EXPECT_EQ(Walk(c.at, stop), c.entries) << c.what;
    EXPECT_EQ(stop, c.stop) << c.what;
    TearDown();
  }
}

TEST_F(WalkTest, FailedSeekLeavesAnErrorCodeForTheFatalReport) {
  Open("PK");
  errno = 0;
  SeekArchive(-5);
  EXPECT_EQ(LastSeekPos, -1);
  EXPECT_NE(LastFileError(), 0u) << "a fatal report after it would end the process with code 0";
}

// --- The extraction run -------------------------------------------------------------------------

// The main dialog as the run sees it: a list of items, all selected after a listing.
struct FakeDialog {
  std::vector<std::string> items;
  std::vector<bool> selected;
  bool storedPaths = true;
  std::function<void()> onProgress;  // runs where the dialog would show "Extracting: "
};
FakeDialog Fake;

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The first selected item of that name after ListSearchIndex, wrapping around.
bool FakeIsSelected(const char* name, int32_t) {
  const int32_t count = int32_t(Fake.items.size());
  for (int32_t step = 1; step <= count; ++step) {
    const int32_t at = (ListSearchIndex + step + count) % count;
    if (SameName(Fake.items[size_t(at)], name) && Fake.selected[size_t(at)]) {
      ListSearchIndex = at;
      return true;
    }
  }
  return false;
}

const RunUi FakeUi{
    [](bool listOnly) { if (listOnly) Fake.items.clear(), Fake.selected.clear(); },
    [] { return Fake.storedPaths; },
    [](const char* name, int32_t) { Fake.items.push_back(name), Fake.selected.push_back(true); },
    FakeIsSelected,
    [] { Fake.selected[size_t(ListSearchIndex)] = false; },
    [] { return int32_t(std::count(Fake.selected.begin(), Fake.selected.end(), true)); },
    [] { PasswordLength = 0; },
    [] { OverwriteAnswer = true; },
    [](const char*) { if (Fake.onProgress) Fake.onProgress(); },
    [] { Fake.storedPaths = false; },
};

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
  };
  const Case cases[] = {
      {"every entry written", Stored("a.txt", "A") + Stored("docs/b.txt", "BB"), {"a.txt", "docs/b.txt"}, false,
       "Zelvix result: Extraction successful on all files !\n", true, {}, {"a.txt", "docs/b.txt"}},
      {"nothing chosen before an entry whose end is unknown", Stored("a.txt", "A") + deferred, {}, false, "", false,
       {}, {}},
      {"an entry whose end is unknown chosen", Stored("a.txt", "A") + deferred, {"a.txt", "d.txt"}, false, failed,
       false, {"d.txt"}, {"a.txt"}},
      {"output that cannot be closed", Stored("empty.txt", ""), {"empty.txt"}, true,
       "Error Closing...: " + Backslashed(out_) + "\\empty.txt\n" + failed, false, {"empty.txt"}, {"empty.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    std::filesystem::remove_all(out_);
    ExtractionOk = false;
    EXPECT_EQ(RunOver(c.zip, true), "");
    for (size_t i = 0; i < Fake.items.size(); ++i)
      Fake.selected[i] = std::find(c.chosen.begin(), c.chosen.end(), Fake.items[i]) != c.chosen.end();
    Fake.onProgress = [&] { if (c.failClose) ::close(int(OutputHandle)); };
    EXPECT_EQ(RunOver(c.zip, false), c.messages);
    EXPECT_EQ(ExtractionOk, c.ok);
    EXPECT_EQ(LeftSelected(), c.left);
    for (const std::string& name : c.written) EXPECT_TRUE(Exists(out_ + "/" + name)) << name;
    if (c.written.empty()) EXPECT_FALSE(Exists(out_));
  }
}

TEST_F(ExtractionRunTest, ListingThatMeetsAPositionBeyondTwoGibibytesEndsAsCorrupted) {
  const std::string zip = Stored("a.txt", "A") + Header(0, 0x7FFFFFF0, "big") + "abc";
  Open(zip);
  EXPECT_EXIT(ExtractionRun(FakeUi, true), ::testing::ExitedWithCode(1), "Error reading header... Corrupted archive!");
}

}  // namespace
