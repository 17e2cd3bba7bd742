// Commands given to the main dialog during a run. Cancel (Exit's text meanwhile), Esc and the
// close box stop an extraction at once, even inside one large entry: the entry being written is
// removed, the user's file stays as it was, nothing more is said, setup.exe is not started and
// the program ends with 1223. While a walk waits for an answer (the overwrite question or the
// password dialog have no owner, so the main dialog stays usable), Extract and Use Stored Paths
// do nothing, and a stop asked for then takes effect once the question is answered; Exit during
// a listing ends the program once it has ended. No second walk starts.
#include "extractor_support.h"

using namespace ext;

// Inside a stored entry of 1 GB, after setup.exe (r.setup), with the target there before.
TEST(ExtractorCommandsDuringRun, CancelEscAndTheCloseBoxStopALargeEntry) {
  struct Case {
    const char* what;
    bool (*stop)(HWND dialog);
  };
  const Case cases[] = {
      {"Cancel", [](HWND dialog) { return ui::ClickButton(dialog, IDCANCEL); }},
      {"Esc", [](HWND dialog) { return ui::PressKey(dialog, VK_ESCAPE); }},
      {"close box", [](HWND dialog) { return ui::PressCloseBox(dialog); }},
  };
  const std::string root = support::FreshTestDir();
  std::vector<std::string> targets;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = JoinPath(root, c.what), target = JoinPath(dir, "pkg");
    targets.push_back(target);
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) && CreateDirectoryA(target.c_str(), nullptr));
    ASSERT_TRUE(support::WriteFileBytes(JoinPath(target, "large.bin"), "the user's own"));
    const std::string package = JoinPath(dir, "pkg.exe");
    ASSERT_TRUE(WriteSparsePackage(package, {SetupEntry()}, "large.bin", 1u << 30, 0, "0010"));
    ui::Process process;
    ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
    HWND dialog = ui::WaitForDialog(process, MainCaption);
    ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(process.Id());
    ASSERT_TRUE(ui::PressButton(dialog, IDOK));
    int first = 0;
    ASSERT_TRUE(WaitUntil([&] { return (first = ui::ProgressPosition(dialog, ProgressId)) > 0; }));
    ASSERT_TRUE(WaitUntil([&] { return ui::ProgressPosition(dialog, ProgressId) > first; }));
    ASSERT_EQ(ui::ControlText(dialog, IDCANCEL), "Cancel");
    const ULONGLONG asked = GetTickCount64();
    ASSERT_TRUE(c.stop(dialog));
    EXPECT_TRUE(ui::WaitForWindowGone(dialog, 5000));
    EXPECT_LE(GetTickCount64() - asked, 1000u) << "the run did not end within a second";
    EXPECT_LT(first, 90);
    EXPECT_TRUE(ui::DialogsOf(process.Id()).empty()) << ui::DescribeDialogs(process.Id());
    EXPECT_EQ(e2e::ExitCodeOf(process), DWORD(ERROR_CANCELLED));
    EXPECT_EQ(support::ReadFileBytes(JoinPath(target, "large.bin")), "the user's own");
    EXPECT_EQ(Below(target), (std::vector<std::string>{"large.bin", "setup.exe"})) << "a file left behind";
  }
  Sleep(3000);  // setup.exe, had it been started, would have left its record by now
  for (const std::string& target : targets)
    EXPECT_FALSE(support::FileExists(JoinPath(target, SetupRecord))) << "setup.exe ran after a cancel";
}

// Exit (Cancel meanwhile), Extract and the box, clicked while the overwrite question is open:
// once it is answered, the run stops before it writes the entry asked about.
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
  // No closing message, no second walk (which would ask about readme.txt again).
  EXPECT_EQ(e2e::ExitCodeOf(process), DWORD(ERROR_CANCELLED));
  EXPECT_EQ(support::ReadFileBytes(JoinPath(target, "readme.txt")), "old");
  for (const std::string& name : Below(target)) EXPECT_NE(name.rfind("~zx", 0), 0u) << name;
}

// The close box while the password dialog is open: once the password is given, the run stops
// before it writes the entry, and the program ends.
TEST(ExtractorCommandsDuringRun, CloseBoxWhileThePasswordIsAskedStopsOnceItIsGiven) {
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
  EXPECT_EQ(e2e::ExitCodeOf(process), DWORD(ERROR_CANCELLED));
  EXPECT_EQ(Below(target), std::vector<std::string>{});
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
