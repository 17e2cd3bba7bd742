// UI automation for the Windows tests: starts a program, finds its dialogs and message boxes,
// reads and drives their controls across the process boundary, and ends it. Every wait is
// bounded; a started program that is still running when its Process goes away is terminated.
//
// Facts this rests on (measured under Wine): dialogs and message boxes are top-level windows of
// class "#32770"; a message box keeps its text in the static control 65535 and its icon in a
// SS_ICON static (id 1088 under Wine) whose STM_GETICON answer is 0 when it shows none; list-box
// text must be asked for with the wide messages, or an ANSI caller gets only its first character.
// Every std::string here is UTF-8.
#pragma once
#include <windows.h>
#include <ostream>
#include <string>
#include <vector>

namespace ui {

constexpr DWORD DefaultTimeoutMs = 20000;
constexpr DWORD MessageTimeoutMs = 5000;  // one cross-process SendMessage
constexpr int MessageBoxTextId = 65535;

// One started program. Not copyable; ending the object terminates the program if it still runs,
// so a failing test never leaves a dialog behind.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts program with args (each quoted when it holds a blank or is empty) in workDir
  // ("" keeps the current directory). False, with LastError() set, when it cannot be started.
  bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& workDir = "");
  // Starts a ready-made command line, for tests of the program's own argument splitting.
  bool StartCommandLine(const std::string& commandLine, const std::string& workDir = "");

  DWORD Id() const { return info_.dwProcessId; }
  bool Started() const { return info_.hProcess != nullptr; }
  bool Running() const;
  // Waits up to timeoutMs for the end of the program; true (with its exit code) when it ended.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
  // Terminates the program if it is still running, and waits (bounded) until it is gone.
  void Kill();
  const std::string& LastError() const { return error_; }

 private:
  PROCESS_INFORMATION info_{};
  std::string error_;
};

// Visible top-level "#32770" windows that belong to process id.
std::vector<HWND> DialogsOf(DWORD processId);
// The captions of those windows, for failure messages ("none" when there is none).
std::string DescribeDialogs(DWORD processId);
// Waits for a visible dialog or message box of the process with exactly this caption. nullptr
// after timeoutMs, or as soon as the process has ended.
HWND WaitForDialog(const Process& process, const std::string& caption, DWORD timeoutMs = DefaultTimeoutMs);
// Waits for any visible dialog or message box of the process (nullptr as above).
HWND WaitForAnyDialog(const Process& process, DWORD timeoutMs = DefaultTimeoutMs);
// Waits until the window is destroyed or hidden; false after timeoutMs.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = DefaultTimeoutMs);

enum class MessageIcon { None, Stop, Exclamation, Question, Information, Unknown };
const char* IconName(MessageIcon icon);
inline std::ostream& operator<<(std::ostream& out, MessageIcon icon) { return out << IconName(icon); }

struct MessageBoxInfo {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::Unknown;
};
// Caption, text (static 65535) and icon of a message box. The icon is told apart by its
// picture: the box's icon control is captured from the screen and compared with the system
// icons drawn here (icon handles of another process cannot be compared with ours).
MessageBoxInfo ReadMessageBox(HWND box);
MessageIcon MessageBoxIcon(HWND box);

// Window texts, in UTF-8: the caption of a top-level window, the text of a control (WM_GETTEXT,
// wide). SetControlText sends WM_SETTEXT (wide).
std::string WindowCaption(HWND window);
std::string ControlText(HWND dialog, int id);
bool SetControlText(HWND dialog, int id, const std::string& text);

// List boxes: the items in order, whether each is selected, and the selected items' texts.
std::vector<std::string> ListItems(HWND dialog, int id);
std::vector<bool> ListSelection(HWND dialog, int id);
std::vector<std::string> SelectedListItems(HWND dialog, int id);
// Selects or deselects one item of a multiple-selection list box (LB_SETSEL).
bool SetListItemSelected(HWND dialog, int id, int index, bool selected);

// The window class of a control ("" when there is none), and the position of a progress bar
// (PBM_GETPOS; -1 when it cannot be read).
std::string ControlClass(HWND dialog, int id);
int ProgressPosition(HWND dialog, int id);

// Buttons: check state (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE; -1 when there is no such
// control), enabled state, and a click.
int ButtonState(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
// Posts BM_CLICK: the button behaves as under the mouse (check boxes and radio buttons change).
bool ClickButton(HWND dialog, int id);
// Posts WM_COMMAND (id, BN_CLICKED) to the dialog: IDOK, IDCANCEL, IDYES, IDNO work on message
// boxes and dialogs alike, whatever has the focus.
bool PressButton(HWND dialog, int id);
// The close box (WM_SYSCOMMAND SC_CLOSE), and a plain WM_CLOSE.
bool PressCloseBox(HWND window);
bool PostClose(HWND window);
// Posts a key press (WM_KEYDOWN + WM_KEYUP) to the control of the window's thread that has the
// focus, or to the window itself; the dialog's own loop turns Enter and Esc into its commands.
bool PressKey(HWND window, UINT virtualKey);

}  // namespace ui
