// Existing target files under the three overwrite policies: overwritten, skipped (untouched,
// item deselected), or asked about one by one, where "Don't ask again" turns the answer into the
// policy and moves the main dialog's radio buttons.
#include "extractor_support.h"

using namespace ext;

namespace {

const std::vector<std::string> FlatNames{"one.txt", "two.txt", "three.txt"};  // archive order

void PutOldFiles(const std::string& target) {
  CreateDirectoryA(target.c_str(), nullptr);
  for (const std::string& name : FlatNames)
    ASSERT_TRUE(support::WriteFileBytes(JoinPath(target, name), "old " + name)) << name;
}

bool IsOld(const std::string& target, const std::string& name) {
  return support::ReadFileBytes(JoinPath(target, name)) == "old " + name;
}

bool IsNew(const std::string& target, const std::string& name) {
  std::string want;
  return support::ReadWholeFile(JoinPath(support::FixturePath("flat.files"), name), &want) &&
         support::ReadFileBytes(JoinPath(target, name)) == want;
}

// Waits for the question about name and checks what it says.
HWND ExpectQuestion(ui::Process& process, const std::string& name) {
  HWND question = ui::WaitForDialog(process, QuestionCaption);
  EXPECT_NE(question, nullptr) << "no question about " << name << "; dialogs: " << ui::DescribeDialogs(process.Id());
  if (question != nullptr) {
    EXPECT_EQ(ui::ControlText(question, QuestionId), name + "...already exists, overwrite?");
  }
  return question;
}

// Answers the question about one.txt with button (Yes or No) after ticking "Don't ask again".
void AnswerForGood(ui::Process& process, int button) {
  HWND question = ExpectQuestion(process, "one.txt");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::ClickButton(question, DontAskId));
  ASSERT_TRUE(WaitUntil([&] { return ui::IsChecked(question, DontAskId); }));
  ASSERT_TRUE(ui::PressButton(question, button));
}


void ExpectPolicy(HWND dialog, int checkedId) {
  for (int id : {OverwriteId, SkipId, ConfirmId}) EXPECT_EQ(ui::IsChecked(dialog, id), id == checkedId) << id;
}

}  // namespace

// Each test runs over flat.zip and over a solid package of the same files.
class ExtractorOverwrite : public ::testing::TestWithParam<bool> {
protected:
  // The package, started in a fresh directory whose pkg (target) holds old copies of its files.
  HWND StartOverOldFiles(ui::Process& process, std::string& target) {
    const std::string dir = support::FreshTestDir();
    target = JoinPath(dir, "pkg");
    PutOldFiles(target);
    return StartPackage(process, dir, GetParam() ? Solid(FlatEntries()) : Fixture("flat.zip"));
  }
  void SetUp() override {
  }
};

// Overwrite (the initial policy) replaces existing files; Skip leaves them as they are and
// deselects their items, and a run that skipped everything is a success.
TEST_P(ExtractorOverwrite, OverwriteReplacesAndSkipLeavesUntouched) {
  std::string target;
  ui::Process process;
  HWND dialog = StartOverOldFiles(process, target);
  ASSERT_NE(dialog, nullptr);
  ExpectPolicy(dialog, OverwriteId);
  ExtractExpectingSuccess(process, dialog);
  ExpectFixtureFiles("flat.zip", target);

  PutOldFiles(target);
  ASSERT_TRUE(ui::ClickButton(dialog, SkipId));
  ASSERT_TRUE(ui::PressButton(dialog, AllId));
  ASSERT_TRUE(WaitUntil([&] { return ui::IsChecked(dialog, SkipId) && Highlighted(dialog).size() == 3; }));
  ExtractExpectingSuccess(process, dialog);
  for (const std::string& name : FlatNames) EXPECT_TRUE(IsOld(target, name)) << name;
  EXPECT_TRUE(Highlighted(dialog).empty());
  ExpectPolicy(dialog, SkipId);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

// Confirm asks for each existing file: Enter is Yes, Esc and the close box are No. Then "Don't
// ask again" with No skips the rest without asking and selects Skip; with Yes it overwrites the
// rest and selects Overwrite.
TEST_P(ExtractorOverwrite, ConfirmAsksForEachFileUntilToldNotToAsk) {
  std::string target;
  ui::Process process;
  HWND dialog = StartOverOldFiles(process, target);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(ui::ClickButton(dialog, ConfirmId));
  ASSERT_TRUE(WaitUntil([&] { return ui::IsChecked(dialog, ConfirmId); }));

  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  HWND question = ExpectQuestion(process, "one.txt");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::PressKey(question, VK_RETURN));
  ASSERT_TRUE(ui::WaitForWindowGone(question));
  question = ExpectQuestion(process, "two.txt");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::PressKey(question, VK_ESCAPE));
  ASSERT_TRUE(ui::WaitForWindowGone(question));
  question = ExpectQuestion(process, "three.txt");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::PressCloseBox(question));
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  EXPECT_TRUE(IsNew(target, "one.txt"));
  EXPECT_TRUE(IsOld(target, "two.txt"));
  EXPECT_TRUE(IsOld(target, "three.txt"));
  EXPECT_TRUE(Highlighted(dialog).empty());
  ExpectPolicy(dialog, ConfirmId);

  // No, and don't ask again.
  PutOldFiles(target);
  ASSERT_TRUE(ui::PressButton(dialog, AllId));
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  AnswerForGood(process, IDCANCEL);
  // A further question would stand in the way of the closing message.
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  for (const std::string& name : FlatNames) EXPECT_TRUE(IsOld(target, name)) << name;
  EXPECT_TRUE(Highlighted(dialog).empty());
  ExpectPolicy(dialog, SkipId);

  // Yes, and don't ask again.
  ASSERT_TRUE(ui::ClickButton(dialog, ConfirmId));
  ASSERT_TRUE(ui::PressButton(dialog, AllId));
  ASSERT_TRUE(WaitUntil([&] { return ui::IsChecked(dialog, ConfirmId) && Highlighted(dialog).size() == 3; }));
  ASSERT_TRUE(ui::PressButton(dialog, IDOK));
  AnswerForGood(process, IDOK);
  e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
  ExpectFixtureFiles("flat.zip", target);
  ExpectPolicy(dialog, OverwriteId);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

INSTANTIATE_TEST_SUITE_P(FlatAndSolid, ExtractorOverwrite, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "solid" : "flat"; });
