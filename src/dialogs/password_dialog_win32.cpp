// The password dialog: collects as many characters as -p takes (PasswordSize - 1) into the TypedPassword its initial
// parameter points to, in the ANSI code page and as typed. It has no close box and ignores Esc,
// so only Enter (command 1) leaves it.
#include "dialogs/dialogs.h"
#include "resource.h"
#include "util/wide_win32.h"

// What the dialog on screen fills in, from its initial parameter (one at a time: the run asks).
static TypedPassword* Typed;

INT_PTR CALLBACK PwdDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    Typed = reinterpret_cast<TypedPassword*>(lParam);
    CenterWindow(window);
    SendDlgItemMessageA(window, IDC_PASSWORD, EM_LIMITTEXT, PasswordSize - 1, 0);
    SetFocus(GetDlgItem(window, IDC_PASSWORD));
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    GetWindowTextW(GetDlgItem(window, IDC_PASSWORD), WideResult, PasswordSize);
    ToUtf8(WideResult, -1, Typed->utf8, PasswordSize);
    ToAnsi(Typed->utf8, Typed->ansi, PasswordSize);
    EndDialog(window, 1);
  }
  return 0;
}
