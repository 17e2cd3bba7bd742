// The overwrite question for one existing file: the answer, and with "Don't ask again" checked,
// that it stands for the rest of the run and for later runs.
#include "dialogs/dialogs.h"
#include "resource.h"
#include "util/strings.h"

// The question on screen, from the dialog's initial parameter (one at a time: the run asks it).
static OverwriteQuestion* Question;

INT_PTR CALLBACK FileExistDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    Question = reinterpret_cast<OverwriteQuestion*>(lParam);
    CenterWindow(window);
    char text[FileNameSize + 32];
    StrCopy(text, Question->fileName, sizeof text);
    StrAppend(text, "...already exists, overwrite?", sizeof text);
    SetItemText(window, IDC_QUESTION, text);
    return 0;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    const bool yes = LOWORD(wParam) == IDOK;
    Question->reply = {yes, SendDlgItemMessageA(window, IDC_DONT_ASK, BM_GETCHECK, 0, 0) == BST_CHECKED};
    EndDialog(window, yes ? IDOK : IDCANCEL);  // the button's own id
    return 1;
  }
  return 0;
}
