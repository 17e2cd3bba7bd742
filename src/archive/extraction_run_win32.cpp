// The extraction run's window: the main dialog's list box, its "Use Stored Paths" box and
// status line, and the password and overwrite dialogs, as RunUi for the portable run.
#include "archive/extraction_run.h"
#include "app/startup.h"
#include "app/state.h"
#include "dialogs/dialogs.h"
#include "resource.h"
#include "util/memory.h"
#include "util/paths.h"
#include "util/strings.h"
#include "util/wide_win32.h"

namespace {

HWND Dialog;
HWND List;
// The item the listing made for each listed entry, by the entry's ordinal (items move as
// sorted ones arrive); extraction runs only.
int32_t* ItemOfEntry;
int32_t ItemCount;
DWORD LastAnswered;    // when the window last handled its messages
int32_t ArchiveBytes;  // from the archive's first byte to the end of the package
WCHAR Caption[64];     // the dialog's own caption

void MapListedEntries() {
  ItemCount = int32_t(SendMessageA(List, LB_GETCOUNT, 0, 0));
  if (ItemCount < 0) ItemCount = 0;
  ItemOfEntry = static_cast<int32_t*>(MemAlloc(uint32_t(ItemCount) * sizeof(int32_t)));
  for (int32_t item = 0; item < ItemCount; ++item) ItemOfEntry[item] = -1;
  for (int32_t item = 0; item < ItemCount; ++item) {
    const LRESULT ordinal = SendMessageA(List, LB_GETITEMDATA, WPARAM(item), 0);
    if (ordinal >= 0 && ordinal < ItemCount) ItemOfEntry[ordinal] = item;
  }
}

void Begin(bool listOnly) {
  if (listOnly) SendMessageA(List, LB_RESETCONTENT, 0, 0);
  else MapListedEntries();
}

bool StoredPaths() { return SendDlgItemMessageA(Dialog, IDC_STORED_PATHS, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void AddItem(const char* name, int32_t ordinal) {
  const LRESULT item = SendMessageW(List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name)));
  if (item >= 0) SendMessageA(List, LB_SETITEMDATA, WPARAM(item), ordinal);
}

bool IsSelected(const char* name, int32_t ordinal) {
  return IsEntrySelected(List, name, ordinal < ItemCount ? ItemOfEntry[ordinal] : -1);
}

void Deselect() { SendMessageA(List, LB_SETSEL, FALSE, ListSearchIndex); }

int32_t SelectedCount() { return int32_t(SendMessageA(List, LB_GETSELCOUNT, 0, 0)); }

void AskPassword() { DialogBoxParamW(ModuleInstance, L"" PWD_DIALOG, nullptr, PwdDlgProc, 0); }

void AskOverwrite() { DialogBoxParamW(ModuleInstance, L"" FILE_EXIST_DIALOG, nullptr, FileExistDlgProc, 0); }

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
  LastAnswered = GetTickCount();
  if (IsWindowVisible(Dialog)) {
    const uint32_t size = ZStrLength(targetPath) + 16;
    MemBlock block(size);
    char* status = reinterpret_cast<char*>(block.get());
    StrCopy(status, "Extracting: ", size);
    StrAppend(status, targetPath, size);
    SetItemText(Dialog, IDC_STATUS, status);
  }
  Pump(false);
}

// While an entry is decoded: at most every 50 ms, the share of the archive read so far in the
// caption ("37% " before it, which the taskbar shows too), then every pending message, so the
// window repaints and answers and is never taken for hung.
void KeepAlive(int32_t position) {
  if (GetTickCount() - LastAnswered < 50) return;
  if (IsWindowVisible(Dialog) && ArchiveBytes > 0) {
    WCHAR text[80];
    wsprintfW(text, L"%d%% %s", MulDiv(position - ArchiveOffset, 100, ArchiveBytes), Caption);
    SetWindowTextW(Dialog, text);
  }
  Pump(true);
  LastAnswered = GetTickCount();
}

void DisableStoredPaths() {
  SendDlgItemMessageA(Dialog, IDC_STORED_PATHS, BM_SETCHECK, BST_UNCHECKED, 0);
  EnableWindow(GetDlgItem(Dialog, IDC_STORED_PATHS), FALSE);
}

constexpr RunUi MainDialogUi{Begin,       StoredPaths,  AddItem,      IsSelected, Deselect,          SelectedCount,
                             AskPassword, AskOverwrite, ShowProgress, KeepAlive,  DisableStoredPaths};

}  // namespace

void ExtractionRun(HWND dialog, bool ListOnly) {
  Dialog = dialog;
  List = GetDlgItem(dialog, IDC_LIST);
  ItemOfEntry = nullptr;
  ItemCount = 0;
  GetWindowTextW(dialog, Caption, 64);
  ArchiveBytes = int32_t(GetFileSize(reinterpret_cast<HANDLE>(ArchiveHandle), nullptr)) - ArchiveOffset;
  RunInProgress = true;
  ExtractionRun(MainDialogUi, ListOnly);
  RunInProgress = false;
  SetWindowTextW(dialog, Caption);
  MemFree(ItemOfEntry);
}
