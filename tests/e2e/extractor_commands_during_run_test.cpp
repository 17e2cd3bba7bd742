// Commands given to the main dialog while a walk waits for an answer (the overwrite question or
// the password dialog have no owner, so the main dialog stays usable): Extract and Use Stored
// Paths do nothing, Exit is carried out once the walk has ended, and no second walk starts.
#include "extractor_support.h"

using namespace ext;

// Exit, Extract and the box, clicked while the overwrite question is open.
TEST(ExtractorCommandsDuringRun, HeldWhileTheOverwriteQuestionIsOpen) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(target, "readme.txt"), "old"));
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("tree.zip"));
  ASSERT_NE(dialog, nullptr);
  const std::vector<std::string> listed = Listed(dialog);
  ASSERT_TRUE(ui::ClickButton(dialog, ConfirmId));
  ASSERT_TRUE(WaitUntil([&] { return ui::IsChecked(dialog, ConfirmId); }));
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  HWND question = ui::WaitForDialog(process, QuestionCaption);
  ASSERT_NE(question, nullptr) << ui::DescribeDialogs(process.Id());

  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  Sleep(1000);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "Exit ended the dialog beneath the walk";
  EXPECT_TRUE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_EQ(Listed(dialog), listed);
  EXPECT_EQ(ui::DialogsOf(process.Id()).size(), 2u) << ui::DescribeDialogs(process.Id());

  ASSERT_TRUE(ui::PressButton(question, IDOK));
  // One closing message (a second walk would ask about readme.txt again, or report once more),
  // then the remembered Exit.
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ExpectFixtureFiles("tree.zip", target);
}

// Exit clicked while the password dialog is open: the walk finishes, then the dialog closes.
TEST(ExtractorCommandsDuringRun, ExitWhileThePasswordIsAskedEndsAfterTheWalk) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("encrypted_one.zip"));
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  HWND prompt = ui::WaitForDialog(process, PasswordCaption);
  ASSERT_NE(prompt, nullptr) << ui::DescribeDialogs(process.Id());
  ASSERT_TRUE(ui::PressCloseBox(dialog));
  Sleep(1000);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "the close box ended the dialog beneath the walk";
  ASSERT_TRUE(ui::SetControlText(prompt, PasswordEditId, "secret"));
  ASSERT_TRUE(ui::PressButton(prompt, IDOK));
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ExpectFixtureFiles("encrypted_one.zip", target);
}

// Exit clicked while a listing (Use Stored Paths toggled) shows a message: carried out once
// that listing has ended, not kept for a later Extract.
TEST(ExtractorCommandsDuringRun, ExitWhileAListingShowsAMessageEndsAfterIt) {
  const std::string dir = support::FreshTestDir();
  const std::string package = JoinPath(dir, "pkg.exe");
  // The nameless entry ends every listing with "Error retreiving filename.".
  ASSERT_TRUE(support::WritePackage(package, Zip({Stored("docs/a.txt", "a"), Stored("")}), "", ""));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  e2e::ExpectMessageBox(process, "Zelvix error", "Error retreiving filename.", ui::MessageIcon::Stop);
  HWND dialog = ui::WaitForDialog(process, MainCaption);
  ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(process.Id());
  ASSERT_TRUE(ui::ClickButton(dialog, StoredPathsId));
  HWND box = ui::WaitForDialog(process, "Zelvix error");
  ASSERT_NE(box, nullptr) << ui::DescribeDialogs(process.Id());
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  Sleep(1000);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "Exit ended the dialog beneath the listing";
  ASSERT_TRUE(ui::PressButton(box, IDOK));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}
