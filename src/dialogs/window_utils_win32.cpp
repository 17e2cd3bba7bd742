// CenterWindow, the controls' text and FindEntryItem (see dialogs.h).
#include "dialogs/dialogs.h"
#include "util/wide_win32.h"

void CenterWindow(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// Through the control's own window: SetWindowTextW and GetWindowTextW are imported anyway.
void SetItemText(HWND window, int id, const char* text) { SetWindowTextW(GetDlgItem(window, id), Wide(text)); }

void GetItemText(HWND window, int id, char* dest, uint32_t size) {
  WideResult[0] = 0;
  GetWindowTextW(GetDlgItem(window, id), WideResult, int(WideUnits));
  ToUtf8(WideResult, -1, dest, size);
}

// LB_FINDSTRINGEXACT of a Unicode list box compares without regard to case in every script.
static int32_t FindAfter(HWND listBox, int32_t start, const WCHAR* name) {
  return int32_t(SendMessageW(listBox, LB_FINDSTRINGEXACT, WPARAM(start), reinterpret_cast<LPARAM>(name)));
}

// True when item `at` shows name and neither neighbour does. The list keeps its items in its
// own sorted order, which puts equal names side by side, so then no other item shows the name.
// Each search here stops within two items: at `at`, or at the neighbour asked about.
static bool IsOnlyItemOfName(HWND listBox, int32_t at, const WCHAR* name) {
  if (FindAfter(listBox, at >= 1 ? at - 2 : -1, name) != at) return false;
  const LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, WPARAM(at + 1), 0);
  if (length == LB_ERR) return true;  // the last item
  if (length >= LRESULT(WideUnits)) return false;
  SendMessageW(listBox, LB_GETTEXT, WPARAM(at + 1), reinterpret_cast<LPARAM>(WideResult));
  return FindAfter(listBox, at - 1, WideResult) != at;
}

// Items that show the same name (names differing only in letter case, or file-name parts of
// entries in different directories) are told apart by their selection: an item that an earlier
// entry of that name has already deselected is passed over for the next one that is selected,
// or that entry would be skipped and the other item left highlighted as a failure.
ListItem FindEntryItem(HWND listBox, const char* text, int32_t likely, int32_t after) {
  const WCHAR* name = Wide(text);
  // The item listed for this very entry, when no other item shows its name, is what the
  // search below would find, after passing over up to every other item.
  if (likely >= 0 && IsOnlyItemOfName(listBox, likely, name))
    return {likely, SendMessageW(listBox, LB_GETSEL, WPARAM(likely), 0) > 0};
  const int32_t first = FindAfter(listBox, after, name);
  for (int32_t at = first; at != LB_ERR;) {
    if (SendMessageW(listBox, LB_GETSEL, WPARAM(at), 0) > 0) return {at, true};
    at = FindAfter(listBox, at, name);
    if (at == first) break;  // round the whole list: no item of this name is selected
  }
  return {first, false};
}
