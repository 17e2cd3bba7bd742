// The password dialog: collects at most 24 characters, into PasswordBuffer in the ANSI code page
// and into PasswordUtf8 when their UTF-8 bytes differ. It has no close box
// and ignores Esc, so only Enter (command 1) leaves it.
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
    WCHAR typed[25];
    const int count = int(GetDlgItemTextW(window, IDC_PASSWORD, typed, 25));
    PasswordLength = WideCharToMultiByte(CP_ACP, 0, typed, count, PasswordBuffer, PasswordBufferSize - 1, nullptr, nullptr);
    PasswordBuffer[PasswordLength] = 0;
    ToUtf8(typed, count, PasswordUtf8, PasswordSize);
    if (StrEqual(PasswordUtf8, PasswordBuffer)) PasswordUtf8[0] = 0;
    EndDialog(window, 1);
  }
  return 0;
}
