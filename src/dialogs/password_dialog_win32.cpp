// The password dialog: collects at most 24 characters, into PasswordBuffer in the ANSI code page
// and into PasswordUtf8 as typed. It has no close box and ignores Esc, so only Enter (command 1)
// leaves it.
#include "dialogs/dialogs.h"
#include "app/state.h"
#include "resource.h"
#include "util/strings.h"
#include "util/wide_win32.h"

INT_PTR CALLBACK PwdDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    CenterWindow(window);
    SetFocus(GetDlgItem(window, IDC_PASSWORD));
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    GetDlgItemTextW(window, IDC_PASSWORD, WideResult, 25);  // the first 24 characters
    ToUtf8(WideResult, -1, PasswordUtf8, PasswordSize);
    ToAnsi(PasswordUtf8, PasswordBuffer, PasswordBufferSize);
    PasswordLength = int32_t(ZStrLength(PasswordBuffer));
    EndDialog(window, 1);
  }
  return 0;
}
