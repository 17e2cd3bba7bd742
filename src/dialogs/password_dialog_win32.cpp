// The password dialog: collects as many characters as -p takes (PasswordSize - 1) into the TypedPassword its initial
// parameter points to, in the ANSI code page and as typed. It has no close box and ignores Esc,
// so only Enter (command 1) leaves it.
#include "dialogs/dialogs.h"
#include "resource.h"
#include "util/wide_win32.h"

INT_PTR CALLBACK PwdDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    CenterWindow(window);
    SendDlgItemMessageA(window, IDC_PASSWORD, EM_LIMITTEXT, PasswordSize - 1, 0);
    SetFocus(GetDlgItem(window, IDC_PASSWORD));
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    auto& typed = *reinterpret_cast<TypedPassword*>(GetWindowLongPtrW(window, DWLP_USER));
    GetDlgItemTextW(window, IDC_PASSWORD, WideResult, PasswordSize);
    ToUtf8(WideResult, -1, typed.utf8, PasswordSize);
    ToAnsi(typed.utf8, typed.ansi, PasswordSize);
    EndDialog(window, 1);
  }
  return 0;
}
