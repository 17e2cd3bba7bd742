// The automation library against message boxes whose content is known (the probe's "boxes"):
// each icon told apart, and each way of answering a box (button, key, close box) arrives as
// the answer it stands for.
#include "e2e_support.h"

TEST(UiAutomation, ReadsAndAnswersMessageBoxesEveryWay) {
  ui::Process probe;
  ASSERT_TRUE(probe.Start(e2e::ProbePath(), {"boxes"})) << probe.LastError();
  const struct {
    ui::MessageIcon icon;
    const char* how;
  } boxes[] = {
      {ui::MessageIcon::None, "Enter key"},         // MB_OK -> IDOK (1)
      {ui::MessageIcon::Stop, "OK clicked"},        // -> IDOK (1)
      {ui::MessageIcon::Exclamation, "Esc key"},    // MB_OKCANCEL -> IDCANCEL (2)
      {ui::MessageIcon::Question, "No pressed"},    // MB_YESNO -> IDNO (7)
      {ui::MessageIcon::Information, "Yes pressed"},// MB_YESNO -> IDYES (6)
      {ui::MessageIcon::Information, "close box"},  // MB_OKCANCEL -> IDCANCEL (2)
  };
  int number = 1;
  for (const auto& expected : boxes) {
    SCOPED_TRACE(expected.how);
    const std::string caption = "Box " + std::to_string(number);
    HWND box = ui::WaitForDialog(probe, caption);
    ASSERT_NE(box, nullptr) << "no \"" << caption << "\"; dialogs: " << ui::DescribeDialogs(probe.Id());
    const ui::MessageBoxInfo info = ui::ReadMessageBox(box);
    EXPECT_EQ(info.caption, caption);
    EXPECT_EQ(info.text, "Text " + std::to_string(number));
    EXPECT_EQ(info.icon, expected.icon);
    switch (number) {
      case 1: EXPECT_TRUE(ui::PressKey(box, VK_RETURN)); break;
      case 2: EXPECT_TRUE(ui::ClickButton(box, IDOK)); break;
      case 3: EXPECT_TRUE(ui::PressKey(box, VK_ESCAPE)); break;
      case 4: EXPECT_TRUE(ui::PressButton(box, IDNO)); break;
      case 5: EXPECT_TRUE(ui::PressButton(box, IDYES)); break;
      default: EXPECT_TRUE(ui::PressCloseBox(box)); break;
    }
    ASSERT_TRUE(ui::WaitForWindowGone(box)) << caption << " did not close";
    ++number;
  }
  EXPECT_EQ(e2e::ExitCodeOf(probe), 112762u);
}
