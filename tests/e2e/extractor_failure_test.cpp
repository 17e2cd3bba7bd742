// Entries that cannot be extracted, and what the user is told: a CRC-32 mismatch (and the retry
// of the highlighted items), an unsupported method, a directory or file that cannot be created,
// names and paths too long, and names that would leave the extraction directory.
#include "extractor_support.h"

using namespace ext;

// The bad file is not written (nothing takes its name) and its item stays highlighted; a second
// Extract works on the highlighted item only.
TEST(ExtractorFailure, CrcMismatchLeavesTheItemHighlightedForARetry) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("bad_crc.zip"));
  ASSERT_NE(dialog, nullptr);
  PressAndExpect(process, dialog, IDOK, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Below(target), (std::vector<std::string>{"good.txt", "last.txt"}));
  EXPECT_EQ(Highlighted(dialog), std::vector<std::string>{"bad.txt"});

  ASSERT_TRUE(support::RemoveTree(target));
  PressAndExpect(process, dialog, IDOK, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Below(target), std::vector<std::string>{});
  EXPECT_EQ(Highlighted(dialog), std::vector<std::string>{"bad.txt"});
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u) << "the last extraction left failures";
}

// Method 6: no file is made for it, the run goes on with the next entry, and the closing message
// reports the item left.
TEST(ExtractorFailure, UnsupportedMethodFailsAlone) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("method6.zip"));
  ASSERT_NE(dialog, nullptr);
  PressAndExpect(process, dialog, IDOK, "Unable to extract...", "Unsupported compression method",
                 ui::MessageIcon::Stop);
  e2e::ExpectMessageBox(process, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Below(target), (std::vector<std::string>{"after.txt", "before.txt"}));
  EXPECT_EQ(Highlighted(dialog), std::vector<std::string>{"imploded.dat"});
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u) << "the last extraction left failures";
}

// A file named docs stands where tree.zip needs a directory: docs\guide.txt cannot be created
// ("Error Openning...", the walk goes on), docs\sub cannot be made ("Error Changing Dir", the
// walk ends), and the closing message reports the items left.
TEST(ExtractorFailure, DirectoryThatCannotBeMadeEndsTheWalk) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(target, "docs"), "a file"));
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("tree.zip"));
  ASSERT_NE(dialog, nullptr);
  PressAndExpect(process, dialog, IDOK, "Error Openning...", JoinPath(target, "docs\\guide.txt"),
                 ui::MessageIcon::Stop);
  e2e::ExpectMessageBox(process, "Error Changing Dir", JoinPath(target, "docs\\sub"), ui::MessageIcon::Exclamation);
  e2e::ExpectMessageBox(process, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Below(target), (std::vector<std::string>{"docs", "readme.txt"}));
  EXPECT_EQ(support::ReadFileBytes(JoinPath(target, "docs")), "a file");
  std::vector<std::string> left = Highlighted(dialog);
  for (std::string& item : left) std::replace(item.begin(), item.end(), '\\', '/');
  EXPECT_EQ(left, (std::vector<std::string>{"Alpha.txt", "bin/empty.dat", "bin/tool.dat", "docs/guide.txt",
                                            "docs/sub/deep.txt"}));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u) << "the last extraction left failures";
}

// Paths longer than the 260 characters of old are written; a name the file system cannot hold
// (one component of 300 characters) is refused with "Error Openning..." and the path, and its
// item stays highlighted.
TEST(ExtractorFailure, LongPathsAreWrittenAndOverlongNamesRefused) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  const std::string longName(300, 'n');
  const std::string longPath = std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\long.txt";
  ui::Process process;
  HWND dialog = StartPackage(
      process, dir, Zip({Stored(longName, "long\r\n"), Stored("ok.txt", "ok\r\n"), Stored(longPath, "deep\r\n")}));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::ListItems(dialog, ListId).size(), 3u);
  PressAndExpect(process, dialog, IDOK, "Error Openning...", JoinPath(target, longName), ui::MessageIcon::Stop);
  e2e::ExpectMessageBox(process, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Highlighted(dialog), std::vector<std::string>{longName});
  EXPECT_EQ(support::ReadFileBytes(JoinPath(target, longPath)), "deep\r\n");

  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u) << "the last extraction left failures";
}

// Names with "..", a drive or a leading separator are listed but never written: nothing lands
// outside the extraction directory, and their items stay highlighted. Without the stored paths
// only their file-name parts are used, which all land inside.
TEST(ExtractorFailure, TraversalNamesNeverLeaveTheExtractionDirectory) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  DeleteFileA("C:\\drive.txt");
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("traversal.zip"));
  ASSERT_NE(dialog, nullptr);
  const std::vector<std::string> unsafe{"../up.txt", "..\\back.txt", "/root.txt", "C:\\drive.txt",
                                        "dir/../../escape.txt"};
  std::vector<std::string> all = unsafe;
  all.push_back("safe.txt");
  std::sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  });
  EXPECT_EQ(ui::ListItems(dialog, ListId), all);
  PressAndExpect(process, dialog, IDOK, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Below(dir), (std::vector<std::string>{"pkg.exe", "pkg/", "pkg/safe.txt"}));
  EXPECT_FALSE(support::FileExists("C:\\drive.txt"));
  EXPECT_FALSE(support::FileExists(JoinPath(support::EnvPath("ZELVIX_TEST_TMP"), "up.txt")));
  std::vector<std::string> left = ui::SelectedListItems(dialog, ListId);
  std::sort(left.begin(), left.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  });
  std::vector<std::string> want = all;
  want.erase(std::find(want.begin(), want.end(), "safe.txt"));
  EXPECT_EQ(left, want);

  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  ASSERT_TRUE(WaitUntil([&] { return ui::ListItems(dialog, ListId).size() == 6 && !ui::IsChecked(dialog, StoredPathsId); }));
  ExtractExpectingSuccess(process, dialog);
  EXPECT_EQ(Below(dir), (std::vector<std::string>{"pkg.exe", "pkg/", "pkg/back.txt", "pkg/drive.txt",
                                                   "pkg/escape.txt", "pkg/root.txt", "pkg/safe.txt", "pkg/up.txt"}));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// A package that cannot open its own file names it and ends with the system's error code. Here
// another program holds the file with delete access, which the system's loader shares and the
// package's own read does not.
TEST(ExtractorFailure, PackageThatCannotOpenItselfEndsWithTheSystemsCode) {
  const std::string dir = support::FreshTestDir();
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Zip({Stored("a.txt", "a")})));
  const HANDLE held = CreateFileA(package.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  e2e::ExpectMessageBox(process, "Couldn't open...", package, ui::MessageIcon::Stop);
  EXPECT_EQ(e2e::ExitCodeOf(process), DWORD(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
}

// Nothing lost: an entry that fails in any way leaves the file that was at its name byte for
// byte as it was, and no file of its own; the run goes on with the next entry (-s, so the outcome
// is the exit code and the files).
TEST(ExtractorFailure, FailedEntriesLeaveTheUsersFilesAsTheyWere) {
  struct Case {
    const char* what;
    std::string zip;
    std::vector<std::string> args;
    std::string victim;  // the user's file, there before the run
    DWORD exitCode;
    std::vector<std::string> files;  // below pkg afterwards
  };
  ZipEntry badCrc = Stored("victim.txt", "the archive's bytes");
  badCrc.crc = Crc32(badCrc.data) ^ 1;
  ZipEntry corrupt = Stored("victim.txt", "the archive's bytes");
  corrupt.method = 8;
  corrupt.payload = "\x07\xFF\xFF\xFF";  // a block of type 3, then nothing a decoder can use
  ZipEntry cut = Stored("victim.txt", std::string(100000, 'c'));
  ZipEntry renamed = Stored("setup.exe", "not what the directory says"), resized = Stored("victim.txt", "12345");
  renamed.centralName = "readme.t_";
  resized.centralSize = 4;
  ZipEntry hidden = Stored("victim.txt", "hidden from ZIP tools");
  hidden.unlisted = true;
  const std::string wrongPassword = "wrong39";  // the fixture names it in its second entry
  const std::string longDir = std::string(200, 'a') + "\\" + std::string(200, 'b') + "\\" + std::string(200, 'c') +
                              "\\" + std::string(200, 'd') + "\\" + std::string(200, 'e') + "\\" + std::string(100, 'f');
  const Case cases[] = {
      {"CRC-32 mismatch", Zip({badCrc, Stored("next.txt", "n")}), {"-s"}, "victim.txt", 2, {"next.txt", "victim.txt"}},
      {"corrupt deflate stream", Zip({corrupt, Stored("next.txt", "n")}), {"-s"}, "victim.txt", 2,
       {"next.txt", "victim.txt"}},
      {"data cut short by the archive's end (then no header: code 1)", Records({cut}).substr(0, 30 + 10 + 5000), {"-s"},
       "victim.txt", 1, {"victim.txt"}},
      {"a wrong password that passes the check byte", Fixture("wrong_password.zip"), {"-s", "-p", wrongPassword},
       "victim.txt", 2, {"victim.txt", wrongPassword + ".txt"}},
      {"1 GiB of zeros where 1,000 bytes are stated", Fixture("bomb.zip"), {"-s"}, "bomb.bin", 2,
       {"after.txt", "bomb.bin"}},
      {"an unsupported method between two good entries", Fixture("method6.zip"), {"-s"}, "imploded.dat", 2,
       {"after.txt", "before.txt", "imploded.dat"}},
      {"the central directory names it otherwise", Zip({renamed, Stored("next.txt", "n")}), {"-s"}, "setup.exe", 2,
       {"next.txt", "setup.exe"}},
      {"the central directory states another size", Zip({resized, Stored("next.txt", "n")}), {"-s"}, "victim.txt", 2,
       {"next.txt", "victim.txt"}},
      {"the central directory leaves it out", Zip({hidden, Stored("next.txt", "n")}), {"-s"}, "victim.txt", 2,
       {"next.txt", "victim.txt"}},
      {"the central directory lists it after the next", Zip({Stored("victim.txt", "v"), Stored("next.txt", "n")}, true),
       {"-s"}, "victim.txt", 2, {"next.txt", "victim.txt"}},
      {"a nameless first entry", Zip({Stored("", "x"), Stored("a.txt", "a")}), {"-s"}, "", 2, {"a.txt"}},
      {"-d longer than 1,023 bytes is taken whole", Zip({Stored("a.txt", "a")}), {"-s", "-d", longDir}, "", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = support::FreshTestDir();
    const std::string package = JoinPath(dir, "pkg.exe");
    const std::string target = JoinPath(dir, "pkg");
    ASSERT_TRUE(support::WritePackage(package, c.zip));
    if (!c.victim.empty()) {
      ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
      ASSERT_TRUE(support::WriteFileBytes(JoinPath(target, c.victim), "the user's own file"));
    }
    ui::Process process;
    ASSERT_TRUE(process.Start(package, c.args, dir)) << process.LastError();
    EXPECT_EQ(e2e::ExitCodeOf(process), c.exitCode);
    if (!c.victim.empty()) {
      EXPECT_EQ(support::ReadFileBytes(JoinPath(target, c.victim)), "the user's own file");
    }
    if (c.args.size() > 1 && c.args[1] == "-d") {  // the files land there, not in a cut one
      EXPECT_EQ(Below(JoinPath(dir, longDir)), std::vector<std::string>{"a.txt"});
      continue;
    }
    EXPECT_EQ(Below(target), c.files) << "and no temporary file is left";
  }
}

// A disk that fills during an entry: "Error Writing..." names the target and gives the system's
// own reason, the walk ends there, the user's file at that name stays as it was and nothing of
// the run is left on the disk. ZELVIX_SMALL_DISK is a 4 MB tmpfs that the test command mounts.
TEST(ExtractorFailure, FullDiskIsToldAndLeavesTheUsersFileAsItWas) {
  const std::string disk = support::EnvPath("ZELVIX_SMALL_DISK");
  if (disk.empty() || !support::FileExists(JoinPath(disk, ".small-disk")))
    GTEST_SKIP() << "no small disk mounted (tests/tools/small_disk.sh needs root)";
  const std::string target = JoinPath(disk, "pkg");
  support::RemoveTree(target);
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(target, "victim.txt"), "the user's own file"));
  wchar_t reason[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_DISK_FULL,
                                0, reason, 512, nullptr);
  while (length > 0 && (reason[length - 1] == '\r' || reason[length - 1] == '\n' || reason[length - 1] == ' ')) --length;
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  HWND dialog = StartPackage(
      process, dir, Zip({Stored("victim.txt", std::string(6 << 20, 'v')), Stored("next.txt", "n")}), "", target);
  ASSERT_NE(dialog, nullptr);
  PressAndExpect(process, dialog, IDOK, "Error Writing...",
                 JoinPath(target, "victim.txt") + "\r\n" + support::ToUtf8(std::wstring(reason, length)),
                 ui::MessageIcon::Stop);
  e2e::ExpectMessageBox(process, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(Highlighted(dialog), (std::vector<std::string>{"next.txt", "victim.txt"}));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u);
  EXPECT_EQ(support::ReadFileBytes(JoinPath(target, "victim.txt")), "the user's own file");
  EXPECT_EQ(Below(target), std::vector<std::string>{"victim.txt"}) << "and no file of the run is left";
  support::RemoveTree(target);
}
