// The extraction run's window: the main dialog's list box, its "Use Stored Paths" box, status
// line and bar, the password and overwrite dialogs, and the progress window of a package that
// extracts on its own, as RunUi for the portable run.
#include "dialogs/dialogs.h"
#include <commctrl.h>
#include "package/options_block.h"
#include "resource.h"
#include "util/memory.h"
#include "util/paths.h"
#include "util/strings.h"
#include "util/wide_win32.h"

namespace {

// What the window side of one run works with; set at the run's start.
struct RunWindowState {
  HWND dialog;
  HWND list;
  // The item the listing made for each listed entry, by the entry's ordinal (items move as
  // sorted ones arrive); extraction runs only.
  int32_t* itemOfEntry;
  int32_t itemCount;
  DWORD lastAnswered;    // when the window last handled its messages
  DWORD started;         // when the extraction run began
  HWND progress;         // the progress window, while it is shown
  const char* target;    // the path of the entry being written (the run's, valid meanwhile)
  int32_t archiveBytes;  // from the archive's first byte to the end of the package
  WCHAR caption[64];     // the dialog's own caption
};
RunWindowState W;

void MapListedEntries() {
  W.itemCount = int32_t(SendMessageW(W.list, LB_GETCOUNT, 0, 0));
  if (W.itemCount < 0) W.itemCount = 0;
  W.itemOfEntry = static_cast<int32_t*>(MemAlloc(uint32_t(W.itemCount) * sizeof(int32_t)));
  for (int32_t item = 0; item < W.itemCount; ++item) W.itemOfEntry[item] = -1;
  for (int32_t item = 0; item < W.itemCount; ++item) {
    const LRESULT ordinal = SendMessageW(W.list, LB_GETITEMDATA, WPARAM(item), 0);
    if (ordinal >= 0 && ordinal < W.itemCount) W.itemOfEntry[ordinal] = item;
  }
}

// What cannot act while an extraction runs; Exit becomes Cancel meanwhile.
constexpr int16_t RunLockedControls[] = {IDOK, IDC_ALL, IDC_NONE, IDC_LIST, IDC_PATH_EDIT,
                                         IDC_OVERWRITE, IDC_SKIP, IDC_CONFIRM, IDC_STORED_PATHS};

void EnableControls(BOOL enable) {
  for (const int id : RunLockedControls) EnableWindow(GetDlgItem(W.dialog, id), enable);
  SetItemText(W.dialog, IDCANCEL, enable ? "E&xit" : "Cancel");
}

void Begin(bool listOnly) {
  if (listOnly) {
    SendMessageW(W.list, LB_RESETCONTENT, 0, 0);
    return;
  }
  MapListedEntries();
  W.started = GetTickCount();
  EnableControls(FALSE);
  // The focus leaves the disabled controls for Cancel, where Esc and Enter reach the dialog.
  if (IsWindowVisible(W.dialog)) SetFocus(GetDlgItem(W.dialog, IDCANCEL));
}

// The window that shows the run: the main dialog when it is on screen, otherwise (a.start) the
// progress window, or none while there is none.
HWND ShownWindow() { return IsWindowVisible(W.dialog) ? W.dialog : W.progress; }

// The progress window: its Cancel (also Esc and the close box, which the dialog manager turns
// into it) is the only command it has.
INT_PTR CALLBACK ProgressDlgProc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) CenterWindow(window);
  if (message == WM_COMMAND) ExitRequested = true;
  return message == WM_INITDIALOG;  // the focus goes to Cancel
}

bool StoredPaths() { return SendDlgItemMessageA(W.dialog, IDC_STORED_PATHS, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void AddItem(const char* name, int32_t ordinal) {
  const LRESULT item = SendMessageW(W.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name)));
  if (item >= 0) SendMessageW(W.list, LB_SETITEMDATA, WPARAM(item), ordinal);
}

ListItem FindItem(const char* name, int32_t ordinal, int32_t after) {
  return FindEntryItem(W.list, name, ordinal < W.itemCount ? W.itemOfEntry[ordinal] : -1, after);
}

void Deselect(int32_t item) { SendMessageW(W.list, LB_SETSEL, FALSE, item); }

int32_t SelectedCount() { return int32_t(SendMessageW(W.list, LB_GETSELCOUNT, 0, 0)); }

TypedPassword AskPassword() {
  TypedPassword typed{};
  DialogBoxParamW(ModuleInstance, L"" PWD_DIALOG, nullptr, PwdDlgProc, reinterpret_cast<LPARAM>(&typed));
  return typed;
}

// An answer that stands from now on becomes the policy, shown in the main dialog too
// (BM_SETCHECK sends the dialog no command).
OverwriteReply AskOverwrite(const char* fileName) {
  OverwriteQuestion question{fileName, {false, false}};
  DialogBoxParamW(ModuleInstance, L"" FILE_EXIST_DIALOG, nullptr, FileExistDlgProc,
                  reinterpret_cast<LPARAM>(&question));
  if (question.reply.stopAsking) {
    SendDlgItemMessageA(W.dialog, IDC_CONFIRM, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(W.dialog, question.reply.overwrite ? IDC_OVERWRITE : IDC_SKIP, BM_SETCHECK, BST_CHECKED, 0);
  }
  return question.reply;
}

// Hands every pending message (or only the first) to its window, characters typed in any
// language included; the keys of the window that shows the run (Esc, Enter, Tab) go to its
// dialog manager.
void Pump(bool all) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageW(ShownWindow(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!all) return;
  }
}

// "Extracting: " and the target in the status line of the window that shows the run. No window
// on screen (with a.start the run happens while the dialog initialises): nothing is shown, since
// laying the text out costs more than writing a small entry.
void ShowTarget() {
  if (const HWND shown = ShownWindow()) {
    const uint32_t size = ZStrLength(W.target) + 16;
    MemBlock block(size);
    char* status = reinterpret_cast<char*>(block.get());
    StrCopy(status, "Extracting: ", size);
    StrAppend(status, W.target, size);
    SetItemText(shown, IDC_STATUS, status);
  }
}

// The status line, then one pending window message, so the dialog stays alive between entries.
bool ShowProgress(const char* targetPath) {
  W.target = targetPath;
  ShowTarget();
  Pump(false);
  return !ExitRequested;
}

// While an entry is decoded, at most every 50 ms: the share of the archive read so far in the
// caption ("37% " before it, which the taskbar shows too) and in the bar, then every pending
// message, so the window repaints and answers and is never taken for hung. A package that
// extracts on its own shows its progress window once the run has taken half a second.
bool KeepAlive(int32_t position) {
  const DWORD now = GetTickCount();
  if (now - W.lastAnswered >= 50) {
    if (W.progress == nullptr && !IsWindowVisible(W.dialog) && now - W.started >= 500) {
      W.progress = CreateDialogParamW(ModuleInstance, MAKEINTRESOURCEW(PROGRESS_DIALOG), nullptr, ProgressDlgProc, 0);
      ShowTarget();
    }
    const HWND shown = ShownWindow();
    if (shown != nullptr && W.archiveBytes > 0) {
      const int percent = MulDiv(position - ArchiveOffset, 100, W.archiveBytes);
      WCHAR text[80];
      wsprintfW(text, L"%d%% %s", percent, W.caption);
      SetWindowTextW(shown, text);
      SendDlgItemMessageA(shown, IDC_PROGRESS, PBM_SETPOS, WPARAM(percent), 0);
    }
    Pump(true);
    W.lastAnswered = GetTickCount();
  }
  return !ExitRequested;
}

// The caption, status line, bar and controls as they were before the run; the progress window
// goes.
void End(bool hasPaths) {
  DestroyWindow(W.progress);
  W.progress = nullptr;
  SetWindowTextW(W.dialog, W.caption);
  SetItemText(W.dialog, IDC_STATUS, "");
  SendDlgItemMessageA(W.dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  EnableControls(TRUE);
  if (!hasPaths) {
    SendDlgItemMessageA(W.dialog, IDC_STORED_PATHS, BM_SETCHECK, BST_UNCHECKED, 0);
    EnableWindow(GetDlgItem(W.dialog, IDC_STORED_PATHS), FALSE);
  }
}

}  // namespace

// The window's side of the run; whether a sound extraction says so is settled per run. Defined
// after ExtractionRun, which copies it: a copy of an initialiser the compiler has already seen
// comes from an anonymous constant among the writable data, a section the stub otherwise lacks.
extern const RunUi DialogUi;

void ExtractionRun(HWND dialog, bool ListOnly) {
  W.dialog = dialog;
  W.list = GetDlgItem(dialog, IDC_LIST);
  GetWindowTextW(dialog, W.caption, 64);
  W.archiveBytes = int32_t(GetFileSize(reinterpret_cast<HANDLE>(ArchiveHandle), nullptr)) - ArchiveOffset;
  RunUi ui = DialogUi;
  ui.announceSuccess = !OptAutoStart;
  RunInProgress = true;
  ExtractionRun(ui, ListOnly);
  RunInProgress = false;
  MemFree(W.itemOfEntry);
  W.itemOfEntry = nullptr;
  W.itemCount = 0;
}

// Its natural alignment, stated: an object of this size would otherwise get 32 bytes.
alignas(4) const RunUi DialogUi{
    .begin = Begin,
    .storedPaths = StoredPaths,
    .addItem = AddItem,
    .findItem = FindItem,
    .deselect = Deselect,
    .selectedCount = SelectedCount,
    .askPassword = AskPassword,
    .askOverwrite = AskOverwrite,
    .showProgress = ShowProgress,
    .keepAlive = KeepAlive,
    .end = End,
    .announceSuccess = true,
};
