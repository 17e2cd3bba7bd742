// Encrypted entries: the password asked only when the one kept so far fails, at most three
// times per entry; three failures end the walk without a word; Esc does not leave the dialog;
// entries with flag bit 3 are checked against their time.
#include "extractor_support.h"

using namespace ext;

namespace {

HWND WaitForPrompt(ui::Process& process) {
  HWND prompt = ui::WaitForDialog(process, PasswordCaption);
  EXPECT_NE(prompt, nullptr) << "no password dialog; dialogs: " << ui::DescribeDialogs(process.Id());
  return prompt;
}

// Types the password into a fresh prompt and presses Enter.
void Answer(ui::Process& process, const std::string& password) {
  HWND prompt = WaitForPrompt(process);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(ui::ControlText(prompt, PasswordEditId), "");  // each prompt starts empty
  ASSERT_TRUE(ui::SetControlText(prompt, PasswordEditId, password));
  ASSERT_TRUE(ui::PressKey(prompt, VK_RETURN));
  ASSERT_TRUE(ui::WaitForWindowGone(prompt));
}

}  // namespace

// Every entry encrypted with one password, with and without data descriptors: one prompt
// serves them all (after a wrong answer and an Esc that changes nothing), and a second Extract
// in the same process asks nothing.
TEST(ExtractorPassword, OnePasswordIsAskedOnce) {
  const std::string dir = support::FreshTestDir();
  const std::string zip = Join({Fixture("encrypted_one.zip"), Fixture("encrypted_descriptor.zip")});
  ui::Process process;
  HWND dialog = StartPackage(process, dir, zip);
  ASSERT_NE(dialog, nullptr);
  const std::string target = JoinPath(dir, "pkg");
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));

  HWND prompt = WaitForPrompt(process);
  ASSERT_NE(prompt, nullptr);
  ASSERT_TRUE(ui::PressKey(prompt, VK_ESCAPE));
  Sleep(700);
  EXPECT_TRUE(IsWindowVisible(prompt)) << "Esc closed the password dialog";
  EXPECT_FALSE(support::DirectoryExists(target));
  Answer(process, "wrong");
  Answer(process, "secret");
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  ExpectFixtureFiles("encrypted_one.zip", target);
  ExpectFixtureFiles("encrypted_descriptor.zip", target);

  ASSERT_TRUE(support::RemoveTree(target));
  ASSERT_TRUE(ui::PressButton(dialog, AllId));
  ExtractExpectingSuccess(process, dialog);
  ExpectFixtureFiles("encrypted_one.zip", target);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// "alpha" opens the first entry; the second has another password and asks again. Three wrong
// answers (an empty one among them) end the walk silently: no file for that entry nor for the
// plain one behind it, both items left selected. The next Extract works on those two.
TEST(ExtractorPassword, AnotherPasswordAsksAgainAndThreeFailuresEndTheWalk) {
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("encrypted_two.zip"));
  ASSERT_NE(dialog, nullptr);
  const std::string target = JoinPath(dir, "pkg");
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  Answer(process, "alpha");
  Answer(process, "gamma");
  Answer(process, "");
  Answer(process, "delta");
  ExpectOnlyTheMainDialog(process, dialog);
  EXPECT_EQ(BelowOnceEnded(target, {"first.txt"}), std::vector<std::string>{"first.txt"});
  EXPECT_EQ(Highlighted(dialog), (std::vector<std::string>{"plain.txt", "second.txt"}));

  // The password kept ("delta") fails on second.txt: asked again.
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  Answer(process, "beta");
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  ExpectFixtureFiles("encrypted_two.zip", target);
  EXPECT_TRUE(Highlighted(dialog).empty());
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// The prompt takes a password as long as -p does (30 characters here; it once took 24), and
// three empty answers first change nothing for the Extract after them.
TEST(ExtractorPassword, LongPasswordTypedAfterThreeEmptyAnswers) {
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("encrypted_long.zip"));
  ASSERT_NE(dialog, nullptr);
  const std::string target = JoinPath(dir, "pkg");
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  for (int i = 0; i < 3; ++i) Answer(process, "");
  ExpectOnlyTheMainDialog(process, dialog);
  EXPECT_FALSE(support::DirectoryExists(target) && !Below(target).empty());
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  Answer(process, "thirty-characters-of-password!");
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  ExpectFixtureFiles("encrypted_long.zip", target);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}
