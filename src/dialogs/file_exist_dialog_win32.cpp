// The overwrite question for one existing file. With "Don't ask again" checked the answer
// becomes the policy for the rest of the run and for later runs, shown in the main dialog.
#include "dialogs/dialogs.h"
#include "app/startup.h"
#include "app/state.h"
#include "resource.h"
#include "util/strings.h"

static void Answer(HWND window, bool yes) {
  if (SendDlgItemMessageA(window, IDC_DONT_ASK, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    // BM_SETCHECK sends no command to the main dialog, so the policy is set here too.
    SendDlgItemMessageA(MainDialogHandle, IDC_CONFIRM, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(MainDialogHandle, yes ? IDC_OVERWRITE : IDC_SKIP, BM_SETCHECK, BST_CHECKED, 0);
    OverwriteMode = yes ? OverwriteAlways : OverwriteSkip;
    OverwriteAnswer = yes;
  } else if (OverwriteMode != OverwriteAlways) {
    OverwriteAnswer = yes;
  }
  EndDialog(window, yes ? IDOK : IDCANCEL);  // the button's own id
}

INT_PTR CALLBACK FileExistDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    CenterWindow(window);
    char question[FileNameSize + 32];
    StrCopy(question, ExistingFileName, sizeof question);
    StrAppend(question, "...already exists, overwrite?", sizeof question);
    SetItemText(window, IDC_QUESTION, question);
    return 0;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    Answer(window, LOWORD(wParam) == IDOK);
    return 1;
  }
  return 0;
}
