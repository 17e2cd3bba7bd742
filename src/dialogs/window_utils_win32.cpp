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

bool IsEntrySelected(HWND listBox, const char* name) {
  ListSearchIndex = int32_t(SendMessageA(listBox, LB_FINDSTRINGEXACT, WPARAM(ListSearchIndex),
                                         reinterpret_cast<LPARAM>(name)));
  return SendMessageA(listBox, LB_GETSEL, WPARAM(ListSearchIndex), 0) > 0;
}
