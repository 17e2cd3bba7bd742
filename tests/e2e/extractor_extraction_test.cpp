// Extraction of good archives, compared byte for byte with what they hold: stored and deflated
// entries, nested directories, empty files, files across the 32 KB window and of several MB,
// data descriptors, extra fields and ZIP64 sizes; the status line; the empty-path rule.
#include "extractor_support.h"

using namespace ext;

// tree.zip (paths, directory entries) followed by the records of deflated.zip: extracted with
// the stored paths, then again without them into another directory.
TEST(ExtractorExtraction, TreeWithAndWithoutStoredPaths) {
  const std::string dir = support::FreshTestDir();
  const std::string zip = Join({Fixture("tree.zip"), Fixture("deflated.zip")});
  ui::Process process;
  HWND dialog = StartPackage(process, dir, zip);
  ASSERT_NE(dialog, nullptr);
  const std::string target = JoinPath(dir, "pkg");

  // Nothing selected: nothing written, no message.
  ASSERT_TRUE(ui::PressButton(dialog, NoneId));
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  ExpectOnlyTheMainDialog(process, dialog);
  EXPECT_FALSE(support::DirectoryExists(target));

  ASSERT_TRUE(ui::PressButton(dialog, AllId));
  ExtractExpectingSuccess(process, dialog);
  ExpectFixtureFiles("tree.zip", target);
  ExpectFixtureFiles("deflated.zip", target);
  EXPECT_EQ(Below(target), (std::vector<std::string>{"Alpha.txt", "bin/", "bin/empty.dat", "bin/tool.dat", "docs/",
                                                      "docs/guide.txt", "docs/sub/", "docs/sub/deep.txt", "empty.txt",
                                                      "hello.txt", "noise.bin", "readme.txt", "text40k.txt"}));
  EXPECT_TRUE(Highlighted(dialog).empty());
  EXPECT_EQ(ui::ControlText(dialog, StatusId), "") << "the status line is emptied when the run ends";

  const std::string flat = JoinPath(dir, "flat");
  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  ASSERT_TRUE(WaitUntil([&] { return !ui::IsChecked(dialog, StoredPathsId) && Highlighted(dialog).size() == 10; }));
  ASSERT_TRUE(ui::SetControlText(dialog, PathEditId, flat));
  ExtractExpectingSuccess(process, dialog);
  ExpectFixtureFiles("tree.zip", flat, true);
  ExpectFixtureFiles("deflated.zip", flat, true);
  EXPECT_EQ(Below(flat), (std::vector<std::string>{"Alpha.txt", "deep.txt", "empty.dat", "empty.txt", "guide.txt",
                                                    "hello.txt", "noise.bin", "readme.txt", "text40k.txt",
                                                    "tool.dat"}));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// Directory entries are made, empty as they are (one nested, one holding only another), with
// the stored paths; not without them; and one that would leave the directory never.
TEST(ExtractorExtraction, EmptyDirectoriesWithTheStoredPathsOnly) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Zip({Stored("logs/"), Stored("cache/"), Stored("cache/thumbs/"),
                                                Stored("../outside/"), Stored("readme.txt", "r")}));
  ASSERT_NE(dialog, nullptr);
  ExtractExpectingSuccess(process, dialog);
  EXPECT_EQ(Below(dir), (std::vector<std::string>{"pkg.exe", "pkg/", "pkg/cache/", "pkg/cache/thumbs/", "pkg/logs/",
                                                   "pkg/readme.txt"}));
  ASSERT_TRUE(support::RemoveTree(target));
  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  ASSERT_TRUE(WaitUntil([&] { return !ui::IsChecked(dialog, StoredPathsId) && Highlighted(dialog).size() == 1; }));
  ExtractExpectingSuccess(process, dialog);
  EXPECT_EQ(Below(dir), (std::vector<std::string>{"pkg.exe", "pkg/", "pkg/readme.txt"}));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// Stored entries, a 3.5 MB deflated file, entries whose sizes follow in data descriptors,
// extra fields, and a stored entry whose sizes stand in a ZIP64 field. Then, with the path edit
// emptied, Extract uses the current directory and shows it.
TEST(ExtractorExtraction, EveryRecordKindThenTheEmptyPathRule) {
  const std::string dir = support::FreshTestDir();
  const std::string zip64Data = "sizes from the ZIP64 field\r\n";
  ZipEntry zip64 = Stored("zip64.txt", zip64Data);
  zip64.zip64 = true;
  const std::string zip = Join({Fixture("stored.zip"), Fixture("large.zip"), Fixture("descriptor.zip"),
                                 Fixture("extra_field.zip"), Zip({zip64})});
  ui::Process process;
  HWND dialog = StartPackage(process, dir, zip);
  ASSERT_NE(dialog, nullptr);
  const std::vector<std::string> names{"after.txt",     "empty.txt",     "hello.txt", "large.bin", "noise.bin",
                                       "streamed1.txt", "streamed2.txt", "x1.txt",    "x2.txt",    "zip64.txt"};
  EXPECT_EQ(Listed(dialog), names);

  const std::string target = JoinPath(dir, "pkg");
  ExtractExpectingSuccess(process, dialog);
  for (const char* fixture : {"stored.zip", "large.zip", "descriptor.zip", "extra_field.zip"})
    ExpectFixtureFiles(fixture, target);
  EXPECT_EQ(support::ReadFileBytes(JoinPath(target, "zip64.txt")), zip64Data);
  EXPECT_EQ(Below(target), names);

  ASSERT_TRUE(ui::PressButton(dialog, AllId));
  ASSERT_TRUE(ui::SetControlText(dialog, PathEditId, ""));
  ExtractExpectingSuccess(process, dialog);
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), dir);
  for (const char* fixture : {"stored.zip", "large.zip", "descriptor.zip", "extra_field.zip"})
    ExpectFixtureFiles(fixture, dir);
  EXPECT_EQ(support::ReadFileBytes(JoinPath(dir, "zip64.txt")), zip64Data);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// Several entries showing the same name: file-name parts of entries in different directories,
// and names that differ only in letter case. Each entry takes the next item of its name that is
// still selected, so every one of them is written and nothing is left highlighted.
TEST(ExtractorExtraction, EntriesShowingTheSameNameAreAllExtracted) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  HWND dialog = StartPackage(process, dir,
                             Zip({Stored("a/x.txt", "first x"), Stored("y.txt", "y"), Stored("b/x.txt", "second x"),
                                  Stored("c/README.txt", "upper"), Stored("c/readme.txt", "lower")}));
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));  // file-name parts: x.txt twice
  ASSERT_TRUE(WaitUntil([&] { return !ui::IsChecked(dialog, StoredPathsId) && Listed(dialog).size() == 5; }));
  ExtractExpectingSuccess(process, dialog);
  EXPECT_TRUE(Highlighted(dialog).empty());
  std::string x, readme;
  EXPECT_TRUE(support::ReadWholeFile(JoinPath(target, "x.txt"), &x));
  EXPECT_EQ(x, "second x");  // written twice, the later entry last
  EXPECT_TRUE(support::ReadWholeFile(JoinPath(target, "readme.txt"), &readme));
  EXPECT_EQ(readme, "lower");
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// An archive whose order is not the list's: each entry still finds its own item, so exactly the
// items the user left selected are written, whatever their places in the list. The same as a
// solid package, whose unselected entries are decoded and dropped.
TEST(ExtractorExtraction, ChosenItemsOfAnUnsortedArchiveAreTheOnesWritten) {
  const std::vector<ZipEntry> entries{Stored("d/zeta.txt", "z"), Stored("mid.txt", "m"), Stored("d/"),
                                      Stored("Beta.txt", "b"),   Stored("alpha.txt", "a"), Stored("d/eta.txt", "e")};
  for (const std::string& zip : AndSolid(Zip(entries), entries)) {
    SCOPED_TRACE(IsSolidPackage(zip) ? "solid package" : "archive");
    const std::string dir = support::FreshTestDir();
    const std::string target = JoinPath(dir, "pkg");
    ui::Process process;
    HWND dialog = StartPackage(process, dir, zip);
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::string> items = Listed(dialog);
    ASSERT_EQ(items.size(), 5u);
    for (int i = 0; i < int(items.size()); ++i) {
      if (items[i] == "mid.txt" || items[i] == "d/eta.txt") {
        ASSERT_TRUE(ui::SetListItemSelected(dialog, ListId, i, false));
      }
    }
    ExtractExpectingSuccess(process, dialog);
    EXPECT_EQ(Below(target), (std::vector<std::string>{"Beta.txt", "alpha.txt", "d/", "d/zeta.txt"}));
    EXPECT_TRUE(Highlighted(dialog).empty());
    ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
    EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  }
}

// An entry nested to about 300 characters below the extraction directory (beyond MAX_PATH with
// it) is listed, written whole and leaves nothing highlighted.
TEST(ExtractorExtraction, NestedPathOfAbout300Characters) {
  const std::string dir = support::FreshTestDir();
  const std::string name = std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(92, 'c') + ".txt";
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Zip({Stored(name, "deep down")}));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Listed(dialog), std::vector<std::string>{name});
  ExtractExpectingSuccess(process, dialog);
  EXPECT_TRUE(Highlighted(dialog).empty());
  const std::string target = JoinPath(dir, "pkg");
  EXPECT_EQ(Below(target), (std::vector<std::string>{name.substr(0, 101), name.substr(0, 202), name}));
  std::string backslashed = name;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  EXPECT_EQ(support::ReadFileBytes(JoinPath(target, backslashed)), "deep down");
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// During one long entry (1 GiB decoded) the window answers its messages within a second, its
// caption and its bar show how much of the archive has been read, the status line names the
// target (backslashes only), Exit reads "Cancel" and the controls that cannot act are disabled.
// By the time the closing message shows, caption, status line, bar, Exit and controls are as
// before the run.
TEST(ExtractorExtraction, WindowAnswersAndShowsProgressDuringALongEntry) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  ASSERT_TRUE(support::ReadWholeFile(support::FixturePath("huge\\huge.zip"), &zip));
  ui::Process process;
  HWND dialog = StartPackage(process, dir, zip);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::ControlClass(dialog, ProgressId), ProgressClass);
  EXPECT_EQ(ui::ProgressPosition(dialog, ProgressId), 0);
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  int answered = 0, withProgress = 0, locked = 0;
  std::vector<int> positions;
  std::string status;
  HWND closing = nullptr;
  for (const ULONGLONG start = GetTickCount64(); closing == nullptr && GetTickCount64() - start < 120000;) {
    char caption[64] = "";
    DWORD_PTR length = 0;
    const ULONGLONG asked = GetTickCount64();
    const bool answer = SendMessageTimeoutA(dialog, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption),
                                            SMTO_ABORTIFHUNG, 1000, &length) != 0;
    for (HWND window : ui::DialogsOf(process.Id()))
      if (ui::WindowCaption(window) == SuccessCaption) closing = window;
    if (closing != nullptr) break;
    EXPECT_TRUE(answer && GetTickCount64() - asked <= 1000) << "no answer within a second";
    answered += answer;
    const std::string text = caption;
    const size_t percent = text.find("% Zelvix ZIP Extractor");
    if (percent != std::string::npos && percent > 0 && percent <= 3) ++withProgress;
    const int position = ui::ProgressPosition(dialog, ProgressId);
    // (0 again once the run has ended, before the closing message comes)
    if (position > 0 && (positions.empty() || position != positions.back())) positions.push_back(position);
    auto enabled = [&](int id) { return ui::IsControlEnabled(dialog, id); };
    if (ui::ControlText(dialog, IDCANCEL) == "Cancel" && std::none_of(std::begin(RunLockedIds), std::end(RunLockedIds), enabled))
      ++locked;
    if (status.empty()) status = ui::ControlText(dialog, StatusId);
    Sleep(20);
  }
  ASSERT_NE(closing, nullptr) << ui::DescribeDialogs(process.Id());
  EXPECT_GT(withProgress, 0) << "never a percentage in the caption (" << answered << " answers)";
  EXPECT_GT(locked, 0) << "never Cancel with the other controls disabled";
  EXPECT_EQ(status, "Extracting: " + JoinPath(JoinPath(dir, "pkg"), "huge.txt"));
  EXPECT_GE(positions.size(), 2u) << "the bar did not move";
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "the bar went back";
  EXPECT_EQ(ui::WindowCaption(dialog), MainCaption);
  EXPECT_EQ(ui::ControlText(dialog, StatusId), "");
  EXPECT_EQ(ui::ProgressPosition(dialog, ProgressId), 0);
  EXPECT_EQ(ui::ControlText(dialog, IDCANCEL), "E&xit");
  for (int id : RunLockedIds) EXPECT_TRUE(ui::IsControlEnabled(dialog, id) || id == StoredPathsId) << id;
  EXPECT_TRUE(ui::PressButton(closing, IDOK));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}
