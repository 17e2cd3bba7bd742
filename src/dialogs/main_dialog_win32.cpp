// The main dialog: the entry list, the extraction directory, the overwrite policy and the
// Use Stored Paths box; Extract and Exit. With a.start it extracts at once and ends; with
// a.close it ends after an Extract.
#include "dialogs/dialogs.h"
#include "package/options_block.h"
#include "resource.h"
#include "util/paths.h"
#include "util/strings.h"

HINSTANCE ModuleInstance;
bool RunInProgress;
bool ExitRequested;

static void SelectAll(HWND window, BOOL select) {
  SendDlgItemMessageA(window, IDC_LIST, LB_SETSEL, select, -1);
}

// Lists the archive's entries, every item selected.
static void ListEntries(HWND window) {
  ExtractionRun(window, true);
  SelectAll(window, TRUE);
}

static void OnInitDialog(HWND window) {
  CenterWindow(window);
  SetClassLongA(window, GCL_HICON, LONG(reinterpret_cast<LONG_PTR>(LoadIconA(ModuleInstance, MAIN_ICON))));
  SetFocus(GetDlgItem(window, IDC_PATH_EDIT));
  SetItemText(window, IDC_PATH_EDIT, ExtractDir);
  SendDlgItemMessageA(window, IDC_PATH_EDIT, EM_SETSEL, 0, 0x7FFF);
  SendDlgItemMessageA(window, IDC_OVERWRITE, BM_SETCHECK, BST_CHECKED, 0);
  OverwriteMode = OverwriteAlways;
  SendDlgItemMessageA(window, IDC_STORED_PATHS, BM_SETCHECK, BST_CHECKED, 0);
  ListEntries(window);
  if (OptAutoStart) {
    ExtractionRun(window, false);
    // Ended while it initialises, the dialog is never shown: the dialog manager looks at the
    // end request before it makes the window visible.
    EndDialog(window, 1);
  }
}

// Both return whether they ended the dialog.
static bool OnExit(HWND window) {
  GetItemText(window, IDC_PATH_EDIT, ExtractDir, ExtractDirSize);
  if (PathExists(ExtractDir)) SetCurrentDir(ExtractDir);
  EndDialog(window, 2);
  return true;
}

static bool OnExtract(HWND window) {
  GetItemText(window, IDC_PATH_EDIT, ExtractDir, ExtractDirSize);
  if (ExtractDir[0] == 0) {
    GetCurrentDirOrDot(ExtractDir, ExtractDirSize);
    SetItemText(window, IDC_PATH_EDIT, ExtractDir);
  }
  ExtractionRun(window, false);
  if (ExitRequested) return OnExit(window);
  if (OptAutoClose) EndDialog(window, 1);
  return OptAutoClose;
}

// Commands that arrive while a walk is under way (through its message dispatch, or while the
// password or overwrite question is open): a second walk never starts inside the first, and
// the dialog is not ended beneath it. Exit is carried out once the walk has ended.
static bool HeldDuringRun(HWND window, int id) {
  if (!RunInProgress) return false;
  if (id == IDCANCEL) ExitRequested = true;
  if (id == IDC_STORED_PATHS) {  // the box has toggled itself: put it back
    const bool checked = SendDlgItemMessageA(window, IDC_STORED_PATHS, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendDlgItemMessageA(window, IDC_STORED_PATHS, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
  }
  return id == IDOK || id == IDCANCEL || id == IDC_STORED_PATHS;
}

static INT_PTR OnCommand(HWND window, int id) {
  if (HeldDuringRun(window, id)) return 0;
  switch (id) {
    case IDOK: return OnExtract(window);
    case IDCANCEL: return OnExit(window);
    case IDC_ALL: SelectAll(window, TRUE); break;
    case IDC_NONE: SelectAll(window, FALSE); break;
    case IDC_STORED_PATHS:
      ListEntries(window);
      if (ExitRequested) return OnExit(window);
      break;
    case IDC_OVERWRITE: OverwriteMode = OverwriteAlways; break;
    case IDC_SKIP: OverwriteMode = OverwriteSkip; break;
    case IDC_CONFIRM: OverwriteMode = OverwriteAsk; break;
    default: break;
  }
  return 0;
}

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    OnInitDialog(window);
    return 0;
  }
  if (message == WM_COMMAND) return OnCommand(window, LOWORD(wParam));
  return 0;
}
