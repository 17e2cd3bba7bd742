// CenterWindow and IsEntrySelected (see dialogs.h).
#include "dialogs/dialogs.h"
#include "app/state.h"

void CenterWindow(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static int32_t FindAfter(HWND listBox, int32_t start, const char* name) {
  return int32_t(SendMessageA(listBox, LB_FINDSTRINGEXACT, WPARAM(start), reinterpret_cast<LPARAM>(name)));
}

// Items that show the same name (names differing only in letter case, or file-name parts of
// entries in different directories) are told apart by their selection: an item that an earlier
// entry of that name has already deselected is passed over for the next one that is selected,
// or that entry would be skipped and the other item left highlighted as a failure.
bool IsEntrySelected(HWND listBox, const char* name) {
  const int32_t first = FindAfter(listBox, ListSearchIndex, name);
  ListSearchIndex = first;
  for (int32_t at = first; at != LB_ERR;) {
    if (SendMessageA(listBox, LB_GETSEL, WPARAM(at), 0) > 0) {
      ListSearchIndex = at;
      return true;
    }
    at = FindAfter(listBox, at, name);
    if (at == first) break;  // round the whole list: no item of this name is selected
  }
  return false;
}
