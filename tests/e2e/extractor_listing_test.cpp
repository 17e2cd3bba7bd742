// What the main dialog shows before anything is extracted: the listing run (sorted names, the
// Use Stored Paths box, directory entries left out), the proposed extraction directory, the
// keys that stand for Extract and Exit, and the archives a listing cannot read.
#include "extractor_support.h"

using namespace ext;

namespace {

const std::vector<std::string> TreeWithPaths{"Alpha.txt",      "bin/empty.dat",     "bin/tool.dat",
                                             "docs/guide.txt", "docs/sub/deep.txt", "readme.txt"};
const std::vector<std::string> TreeFileNames{"Alpha.txt", "deep.txt", "empty.dat",
                                             "guide.txt", "readme.txt", "tool.dat"};

bool AllSelected(HWND dialog) {
  const std::vector<bool> selection = ui::ListSelection(dialog, ListId);
  return !selection.empty() && std::all_of(selection.begin(), selection.end(), [](bool s) { return s; });
}

}  // namespace

// An archive with paths: its names listed sorted (not in archive order), with their stored
// directories, all selected; its directory entries never listed. The box switches the listing
// to file-name parts and back, each time selecting every item again.
TEST(ExtractorListing, NamesWithPathsFollowTheStoredPathsBox) {
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("tree.zip"), "", "", "my.tool.exe");
  ASSERT_NE(dialog, nullptr);
  // The program's own name, cut at its last '.', below the current directory.
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), JoinPath(dir, "my.tool"));
  EXPECT_EQ(Listed(dialog), TreeWithPaths);
  EXPECT_TRUE(AllSelected(dialog));
  EXPECT_TRUE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_TRUE(ui::IsControlEnabled(dialog, StoredPathsId));
  EXPECT_TRUE(ui::IsChecked(dialog, OverwriteId));
  EXPECT_FALSE(ui::IsChecked(dialog, SkipId));
  EXPECT_FALSE(ui::IsChecked(dialog, ConfirmId));

  ASSERT_TRUE(ui::PressButton(dialog, NoneId));
  ASSERT_TRUE(WaitUntil([&] { return Highlighted(dialog).empty(); }));
  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  ASSERT_TRUE(WaitUntil([&] { return Listed(dialog) == TreeFileNames; })) << ::testing::PrintToString(Listed(dialog));
  EXPECT_FALSE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_TRUE(ui::IsControlEnabled(dialog, StoredPathsId));
  EXPECT_TRUE(AllSelected(dialog));

  ASSERT_TRUE(ui::PressButton(dialog, NoneId));
  ASSERT_TRUE(WaitUntil([&] { return Highlighted(dialog).empty(); }));
  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  ASSERT_TRUE(WaitUntil([&] { return Listed(dialog) == TreeWithPaths; })) << ::testing::PrintToString(Listed(dialog));
  EXPECT_TRUE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_TRUE(AllSelected(dialog));

  // Esc is Exit; nothing was extracted.
  ASSERT_TRUE(ui::PressKey(dialog, VK_ESCAPE));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  EXPECT_EQ(Below(dir), std::vector<std::string>{"my.tool.exe"});
}

// No name holds a separator: the box ends unchecked and disabled. A plain extract path is a
// folder below the current directory. The close box is Exit.
TEST(ExtractorListing, ArchiveWithoutPathsDisablesTheBox) {
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("flat.zip"), "", "Setup");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), JoinPath(dir, "Setup"));
  EXPECT_EQ(Listed(dialog), (std::vector<std::string>{"one.txt", "three.txt", "two.txt"}));
  EXPECT_TRUE(AllSelected(dialog));
  EXPECT_FALSE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_FALSE(ui::IsControlEnabled(dialog, StoredPathsId));
  ASSERT_TRUE(ui::PressCloseBox(dialog));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  EXPECT_EQ(Below(dir), std::vector<std::string>{"pkg.exe"});
}

// An extract path holding a backslash stands alone. Enter in the path edit is Extract.
TEST(ExtractorListing, BackslashedExtractPathIsUsedAsItIsAndEnterExtracts) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "chosen\\place");
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("flat.zip"), "", target);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), target);
  ASSERT_TRUE(ui::PressKey(dialog, VK_RETURN));
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  ExpectFixtureFiles("flat.zip", target);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// With t.dir a new folder inside the temporary directory is proposed, whatever the extract path
// says; left without an extraction, it goes again.
TEST(ExtractorListing, TempDirFlagProposesAFolderInsideTheTemporaryDirectory) {
  const std::string dir = support::FreshTestDir();
  char temp[MAX_PATH + 1];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  ASSERT_GT(length, 0u);
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("flat.zip"), "0001", "Ignored");
  ASSERT_NE(dialog, nullptr);
  const std::string proposed = ui::ControlText(dialog, PathEditId);
  EXPECT_EQ(proposed.rfind(std::string(temp, length) + "zelvix-", 0), 0u) << proposed;
  EXPECT_EQ(proposed.size(), length + 23) << proposed;
  EXPECT_TRUE(support::DirectoryExists(proposed));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  EXPECT_FALSE(support::DirectoryExists(proposed));
}

// A listing that lists nothing (here: directory entries only, one of them ending in '\') says
// so; the dialog still comes, empty. The names hold separators, so the box stays as it was.
TEST(ExtractorListing, ListingOfNothingCannotReadTheHeader) {
  const std::string dir = support::FreshTestDir();
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Zip({Stored("empty/"), Stored("empty/sub/"), Stored("other\\")})));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  e2e::ExpectMessageBox(process, "Zelvix error", "Can't read archive header", ui::MessageIcon::Stop);
  HWND dialog = ui::WaitForDialog(process, MainCaption);
  ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(process.Id());
  EXPECT_TRUE(ui::ListItems(dialog, ListId).empty());
  EXPECT_TRUE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_TRUE(ui::IsControlEnabled(dialog, StoredPathsId));
  // Extract with nothing listed writes nothing and says nothing.
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  ExpectOnlyTheMainDialog(process, dialog);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  EXPECT_EQ(Below(dir), std::vector<std::string>{"pkg.exe"});
}

// An archive that ends inside a local header ends the program with code 1 during the listing.
TEST(ExtractorListing, ArchiveCutInsideAHeaderEndsTheProgram) {
  const std::string dir = support::FreshTestDir();
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Fixture("cut_header.zip")));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  e2e::ExpectMessageBox(process, "Zelvix Error", "Error reading header... Corrupted archive!", ui::MessageIcon::None);
  EXPECT_EQ(e2e::ExitCodeOf(process), 1u);
  EXPECT_EQ(Below(dir), std::vector<std::string>{"pkg.exe"});
}
