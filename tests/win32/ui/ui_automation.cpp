// UI automation for the Windows tests (see ui_automation.h).
#include "ui/ui_automation.h"
#include "ui/test_support.h"
#include <commctrl.h>
#include <cstring>

namespace ui {

using support::ToUtf8;
using support::ToWide;

namespace {

constexpr DWORD PollMs = 50;

std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t") == std::string::npos) return arg;
  return "\"" + arg + "\"";
}

// SendMessageW bounded in time: a hung target fails the call instead of the test run.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (window == nullptr) return false;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, MessageTimeoutMs, &answer))
    return false;
  if (result != nullptr) *result = LRESULT(answer);
  return true;
}

bool IsDialogOf(HWND window, DWORD processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != processId || !IsWindowVisible(window)) return false;
  char className[16];
  return GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, "#32770") == 0;
}

// Polls find() until it answers a window, the process ends, or timeoutMs have passed.
template <typename Find>
HWND WaitFor(const Process& process, DWORD timeoutMs, Find find) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (HWND window = find()) return window;
    if (!process.Running() || GetTickCount64() - start >= timeoutMs) {
      // One last look: the window may have come up just before the process ended or time ran out.
      return find();
    }
    Sleep(PollMs);
  }
}

// --- Icons ---------------------------------------------------------------------------------

HWND FindIconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[16];
    if (GetClassNameA(child, className, sizeof className) == 0 || lstrcmpiA(className, "Static") != 0) continue;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

// A 32-bit top-down DIB section of width x height with a memory DC selected into it.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  const uint32_t* pixels = nullptr;
  Canvas(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) previous = SelectObject(dc, bitmap);
    pixels = static_cast<const uint32_t*>(bits);
  }
  ~Canvas() {
    if (previous != nullptr) SelectObject(dc, previous);
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  bool Ok() const { return pixels != nullptr; }
  void Fill(COLORREF colour, int width, int height) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
};

// Share of the candidate's opaque pixels that the captured picture shows unchanged. A pixel is
// opaque when the candidate draws it alike on black and on white.
double MatchScore(const Canvas& captured, HICON candidate, int width, int height) {
  Canvas black(width, height), white(width, height);
  if (!black.Ok() || !white.Ok()) return 0;
  black.Fill(RGB(0, 0, 0), width, height);
  white.Fill(RGB(255, 255, 255), width, height);
  DrawIconEx(black.dc, 0, 0, candidate, 0, 0, 0, nullptr, DI_NORMAL);
  DrawIconEx(white.dc, 0, 0, candidate, 0, 0, 0, nullptr, DI_NORMAL);
  GdiFlush();
  int opaque = 0, same = 0;
  for (int i = 0; i < width * height; ++i) {
    const uint32_t b = black.pixels[i] & 0xFFFFFF, w = white.pixels[i] & 0xFFFFFF;
    if (b != w) continue;
    ++opaque;
    if ((captured.pixels[i] & 0xFFFFFF) == b) ++same;
  }
  return opaque < 16 ? 0 : double(same) / opaque;
}

// The system icon shown by the icon control, or Unknown when its picture matches none of them.
MessageIcon IdentifyIcon(HWND iconControl) {
  RECT rect;
  if (!GetWindowRect(iconControl, &rect)) return MessageIcon::Unknown;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return MessageIcon::Unknown;
  const struct { LPCSTR id; MessageIcon icon; } candidates[] = {
      {IDI_HAND, MessageIcon::Stop},
      {IDI_EXCLAMATION, MessageIcon::Exclamation},
      {IDI_QUESTION, MessageIcon::Question},
      {IDI_ASTERISK, MessageIcon::Information},
  };
  Canvas captured(width, height);
  if (!captured.Ok()) return MessageIcon::Unknown;
  HDC screen = GetDC(nullptr);
  const BOOL copied = BitBlt(captured.dc, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  if (!copied) return MessageIcon::Unknown;
  MessageIcon best = MessageIcon::Unknown;
  double bestScore = 0.9;  // anything less is not the same picture
  for (const auto& candidate : candidates) {
    const double score = MatchScore(captured, LoadIconA(nullptr, candidate.id), width, height);
    if (score > bestScore) {
      bestScore = score;
      best = candidate.icon;
    }
  }
  return best;
}

}  // namespace

// --- Process -------------------------------------------------------------------------------

Process::~Process() {
  Kill();
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
}

bool Process::Start(const std::string& program, const std::vector<std::string>& args, const std::string& workDir) {
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& arg : args) commandLine += " " + Quote(arg);
  return StartCommandLine(commandLine, workDir);
}

bool Process::StartCommandLine(const std::string& commandLine, const std::string& workDir) {
  if (Started()) {
    error_ = "this Process has already started a program";
    return false;
  }
  std::wstring line = ToWide(commandLine);
  const std::wstring dir = ToWide(workDir);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.empty() ? nullptr : dir.c_str(),
                      &startup, &info_)) {
    error_ = "CreateProcess failed with error " + std::to_string(GetLastError()) + " for " + commandLine;
    info_ = PROCESS_INFORMATION{};
    return false;
  }
  return true;
}

bool Process::Running() const {
  return Started() && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!Started() || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  if (exitCode != nullptr) *exitCode = code;
  return true;
}

void Process::Kill() {
  if (!Running()) return;
  TerminateProcess(info_.hProcess, 0xDEAD);
  WaitForSingleObject(info_.hProcess, 10000);
}

// --- Finding windows -----------------------------------------------------------------------

namespace {
struct DialogSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  if (IsDialogOf(window, search->processId)) search->found.push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> DialogsOf(DWORD processId) {
  DialogSearch search{processId, {}};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string DescribeDialogs(DWORD processId) {
  std::string text;
  for (HWND window : DialogsOf(processId)) text += (text.empty() ? "\"" : ", \"") + WindowCaption(window) + "\"";
  return text.empty() ? "none" : text;
}

HWND WaitForDialog(const Process& process, const std::string& caption, DWORD timeoutMs) {
  return WaitFor(process, timeoutMs, [&]() -> HWND {
    for (HWND window : DialogsOf(process.Id()))
      if (WindowCaption(window) == caption) return window;
    return nullptr;
  });
}

HWND WaitForAnyDialog(const Process& process, DWORD timeoutMs) {
  return WaitFor(process, timeoutMs, [&]() -> HWND {
    const std::vector<HWND> found = DialogsOf(process.Id());
    return found.empty() ? nullptr : found.front();
  });
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount64() - start >= timeoutMs) return false;
    Sleep(PollMs);
  }
  return true;
}

// --- Message boxes -------------------------------------------------------------------------

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return "no icon";
    case MessageIcon::Stop: return "stop icon";
    case MessageIcon::Exclamation: return "exclamation icon";
    case MessageIcon::Question: return "question icon";
    case MessageIcon::Information: return "information icon";
    case MessageIcon::Unknown: break;
  }
  return "unknown icon";
}

MessageIcon MessageBoxIcon(HWND box) {
  HWND control = FindIconControl(box);
  LRESULT handle = 0;
  if (control == nullptr || !IsWindowVisible(control) || !Send(control, STM_GETICON, 0, 0, &handle) || handle == 0)
    return MessageIcon::None;
  // The box may not be painted yet when it has just appeared (seconds, on a loaded machine under
  // emulation): look again for up to 10 s.
  MessageIcon icon = MessageIcon::Unknown;
  for (int attempt = 0; attempt < 200 && icon == MessageIcon::Unknown; ++attempt) {
    if (attempt > 0) Sleep(PollMs);
    icon = IdentifyIcon(control);
  }
  return icon;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.caption = WindowCaption(box);
  info.text = ControlText(box, MessageBoxTextId);
  info.icon = MessageBoxIcon(box);
  return info;
}

// --- Controls ------------------------------------------------------------------------------

std::string WindowCaption(HWND window) {
  wchar_t text[1024];
  const int length = GetWindowTextW(window, text, 1024);
  return ToUtf8(std::wstring(text, size_t(length > 0 ? length : 0)));
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  LRESULT length = 0;
  if (!Send(control, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) return std::string();
  std::wstring text(size_t(length) + 1, L'\0');
  LRESULT got = 0;
  if (!Send(control, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(&text[0]), &got)) return std::string();
  text.resize(size_t(got > 0 ? got : 0));
  return ToUtf8(text);
}

bool SetControlText(HWND dialog, int id, const std::string& text) {
  const std::wstring wide = ToWide(text);
  LRESULT ok = 0;
  return Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), &ok) && ok != 0;
}

std::vector<std::string> ListItems(HWND dialog, int id) {
  std::vector<std::string> items;
  HWND list = GetDlgItem(dialog, id);
  LRESULT count = 0;
  if (!Send(list, LB_GETCOUNT, 0, 0, &count) || count < 0) return items;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = 0;
    if (!Send(list, LB_GETTEXTLEN, WPARAM(i), 0, &length) || length < 0) length = 0;
    // Sent as a wide message: across processes an ANSI LB_GETTEXT delivers UTF-16 bytes.
    std::wstring text(size_t(length) + 1, L'\0');
    LRESULT got = 0;
    if (!Send(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&text[0]), &got) || got < 0) got = 0;
    text.resize(size_t(got) < text.size() ? size_t(got) : text.size() - 1);
    items.push_back(ToUtf8(text));
  }
  return items;
}

std::vector<bool> ListSelection(HWND dialog, int id) {
  std::vector<bool> selection;
  HWND list = GetDlgItem(dialog, id);
  LRESULT count = 0;
  if (!Send(list, LB_GETCOUNT, 0, 0, &count) || count < 0) return selection;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT selected = 0;
    selection.push_back(Send(list, LB_GETSEL, WPARAM(i), 0, &selected) && selected > 0);
  }
  return selection;
}

std::vector<std::string> SelectedListItems(HWND dialog, int id) {
  const std::vector<std::string> items = ListItems(dialog, id);
  const std::vector<bool> selection = ListSelection(dialog, id);
  std::vector<std::string> selected;
  for (size_t i = 0; i < items.size() && i < selection.size(); ++i)
    if (selection[i]) selected.push_back(items[i]);
  return selected;
}

bool SetListItemSelected(HWND dialog, int id, int index, bool selected) {
  LRESULT result = 0;
  return Send(GetDlgItem(dialog, id), LB_SETSEL, selected ? TRUE : FALSE, index, &result) && result != LB_ERR;
}

int ButtonState(HWND dialog, int id) {
  LRESULT state = 0;
  if (!Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, &state)) return -1;
  return int(state);
}

bool IsChecked(HWND dialog, int id) { return ButtonState(dialog, id) == BST_CHECKED; }

std::string ControlClass(HWND dialog, int id) {
  char name[64];
  HWND control = GetDlgItem(dialog, id);
  const int length = control != nullptr ? GetClassNameA(control, name, sizeof name) : 0;
  return std::string(name, size_t(length > 0 ? length : 0));
}

int ProgressPosition(HWND dialog, int id) {
  LRESULT position = -1;
  return Send(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0, &position) ? int(position) : -1;
}

bool IsControlEnabled(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0);
}

bool PressButton(HWND dialog, int id) {
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool PressCloseBox(HWND window) { return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool PostClose(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0); }

bool PressKey(HWND window, UINT virtualKey) {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  HWND target = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus != nullptr)
    target = thread.hwndFocus;
  const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = LPARAM(1 | (scan << 16));
  const LPARAM up = LPARAM(down | (1u << 30) | (1u << 31));
  return PostMessageW(target, WM_KEYDOWN, virtualKey, down) && PostMessageW(target, WM_KEYUP, virtualKey, up);
}

}  // namespace ui
