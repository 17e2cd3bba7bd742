// Small shared steps of the end-to-end tests: start a program, check a message box, end it.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ui/test_support.h"
#include "ui/ui_automation.h"

namespace e2e {

// ZELVIX_PROBE: the probe program (tests/e2e/probes).
inline std::string ProbePath() { return support::EnvPath("ZELVIX_PROBE"); }

// Waits for the program's end and answers its exit code; a program still running after the
// timeout is a failure (its open dialogs are named) and is ended.
inline DWORD ExitCodeOf(ui::Process& process, DWORD timeoutMs = ui::DefaultTimeoutMs) {
  DWORD code = 0xFFFFFFFF;
  EXPECT_TRUE(process.WaitForExit(timeoutMs, &code))
      << "still running; its dialogs: " << ui::DescribeDialogs(process.Id());
  process.Kill();
  return code;
}

// Waits for the message box with this caption, checks its text and icon, and presses OK (or the
// button given).
inline void ExpectMessageBox(ui::Process& process, const std::string& caption, const std::string& text,
                             ui::MessageIcon icon, int button = IDOK) {
  HWND box = ui::WaitForDialog(process, caption);
  ASSERT_NE(box, nullptr) << "no message box \"" << caption << "\"; dialogs: " << ui::DescribeDialogs(process.Id());
  const ui::MessageBoxInfo info = ui::ReadMessageBox(box);
  EXPECT_EQ(info.caption, caption);
  EXPECT_EQ(info.text, text);
  EXPECT_EQ(info.icon, icon);
  EXPECT_TRUE(ui::PressButton(box, button));
  EXPECT_TRUE(ui::WaitForWindowGone(box));
}

}  // namespace e2e
