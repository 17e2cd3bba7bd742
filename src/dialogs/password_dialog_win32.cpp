// The password dialog: collects at most 24 characters into PasswordBuffer. It has no close box
// and ignores Esc, so only Enter (command 1) leaves it.
#include "dialogs/dialogs.h"
#include "app/state.h"
#include "resource.h"

INT_PTR CALLBACK PwdDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    CenterWindow(window);
    SetFocus(GetDlgItem(window, IDC_PASSWORD));
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    PasswordLength = int32_t(GetDlgItemTextA(window, IDC_PASSWORD, PasswordBuffer, PasswordBufferSize));
    PasswordBuffer[PasswordLength] = 0;
    EndDialog(window, 1);
  }
  return 0;
}
