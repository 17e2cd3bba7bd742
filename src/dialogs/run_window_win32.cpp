// The extraction run's window: the main dialog's list box, its "Use Stored Paths" box and
// status line, and the password and overwrite dialogs, as RunUi for the portable run.
#include "dialogs/dialogs.h"
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

void Begin(bool listOnly) {
  if (listOnly) SendMessageW(W.list, LB_RESETCONTENT, 0, 0);
  else MapListedEntries();
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
// language included.
void Pump(bool all) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (!all) return;
  }
}

// The status line, then one pending window message, so the dialog stays alive between entries.
// A dialog not on screen (with a.start the run happens while it initialises) leaves its status
// line alone: laying the text out costs more than writing a small entry.
void ShowProgress(const char* targetPath) {
  W.lastAnswered = GetTickCount();
  if (IsWindowVisible(W.dialog)) {
    const uint32_t size = ZStrLength(targetPath) + 16;
    MemBlock block(size);
    char* status = reinterpret_cast<char*>(block.get());
    StrCopy(status, "Extracting: ", size);
    StrAppend(status, targetPath, size);
    SetItemText(W.dialog, IDC_STATUS, status);
  }
  Pump(false);
}

// While an entry is decoded: at most every 50 ms, the share of the archive read so far in the
// caption ("37% " before it, which the taskbar shows too), then every pending message, so the
// window repaints and answers and is never taken for hung.
void KeepAlive(int32_t position) {
  if (GetTickCount() - W.lastAnswered < 50) return;
  if (IsWindowVisible(W.dialog) && W.archiveBytes > 0) {
    WCHAR text[80];
    wsprintfW(text, L"%d%% %s", MulDiv(position - ArchiveOffset, 100, W.archiveBytes), W.caption);
    SetWindowTextW(W.dialog, text);
  }
  Pump(true);
  W.lastAnswered = GetTickCount();
}

void DisableStoredPaths() {
  SendDlgItemMessageA(W.dialog, IDC_STORED_PATHS, BM_SETCHECK, BST_UNCHECKED, 0);
  EnableWindow(GetDlgItem(W.dialog, IDC_STORED_PATHS), FALSE);
}

}  // namespace

void ExtractionRun(HWND dialog, bool ListOnly) {
  W.dialog = dialog;
  W.list = GetDlgItem(dialog, IDC_LIST);
  W.itemOfEntry = nullptr;
  W.itemCount = 0;
  GetWindowTextW(dialog, W.caption, 64);
  W.archiveBytes = int32_t(GetFileSize(reinterpret_cast<HANDLE>(ArchiveHandle), nullptr)) - ArchiveOffset;
  const RunUi ui{
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
      .disableStoredPaths = DisableStoredPaths,
      .announceSuccess = !OptAutoStart,
  };
  RunInProgress = true;
  ExtractionRun(ui, ListOnly);
  RunInProgress = false;
  SetWindowTextW(dialog, W.caption);
  MemFree(W.itemOfEntry);
  W.itemOfEntry = nullptr;
}
