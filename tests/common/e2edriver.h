// Driving the real Mossgrave.exe from a second process: starting and ending
// it, finding its windows, pressing buttons and answering message boxes.
// Every wait is bounded; nothing here can block on the program.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace e2e {

constexpr DWORD kDefaultTimeoutMs = 10000;

// "/a/b/Mossgrave.exe" -> "Z:\a\b\Mossgrave.exe" (Wine maps Z: to the root).
std::string ToWindowsPath(const std::string& unixPath);

// One started program. Ended with TerminateProcess on destruction when it
// still runs; it also sits in a job that kills it when this process ends.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Start(const std::string& exePath);
  bool IsRunning() const;
  // True when it ended within the time; *exitCode then holds its code.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
  // Waits until its user-interface thread waits for input again.
  bool WaitForIdle(DWORD timeoutMs = kDefaultTimeoutMs) const;
  void Kill();

  DWORD pid() const { return pid_; }
  HANDLE process() const { return process_; }

 private:
  HANDLE process_ = nullptr;
  HANDLE job_ = nullptr;
  DWORD pid_ = 0;
};

// What a top-level window must be to match. Empty strings match anything;
// pid 0 matches every process.
struct WindowQuery {
  DWORD pid = 0;
  std::string caption;
  std::string className;
  bool visibleOnly = true;
  std::function<bool(HWND)> extra;  // further condition, may be empty
};

// The program's password prompt and its settings window, in one process.
WindowQuery PromptQuery(DWORD pid);
WindowQuery MainWindowQuery(DWORD pid);

HWND FindTopWindow(const WindowQuery& q);
// Polls until a matching window exists; null after the timeout.
HWND WaitForTopWindow(const WindowQuery& q, DWORD timeoutMs = kDefaultTimeoutMs);
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kDefaultTimeoutMs);
// Every visible top-level window of the process, for "shows nothing" checks.
int CountVisibleWindows(DWORD pid);

std::string WindowText(HWND hwnd);
std::string ClassOf(HWND hwnd);

// A message box has a text label with this id; dialogs of the program do not.
constexpr int kMessageBoxTextId = 0xFFFF;
bool IsMessageBox(HWND hwnd);

// The program's message box ("Halvenor") of that process, or null.
HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs = kDefaultTimeoutMs);
std::string MessageBoxText(HWND box);
// Presses the box's button (IDOK, IDCANCEL, ...) and waits until it is gone.
bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = kDefaultTimeoutMs);

// Presses a button of a dialog without waiting for what it starts (a posted
// BM_CLICK: a sent one would block while the press opens a message box).
bool ClickButton(HWND dlg, int id);
// Puts text into a control of another process (Wine marshals WM_SETTEXT).
bool SetControlText(HWND dlg, int id, const std::string& text);
std::string ControlText(HWND dlg, int id);

// A left click at a client point of a window, as posted mouse messages.
bool ClickAt(HWND hwnd, int x, int y);
// The bounds of a list-view item in another process (the rectangle travels
// through memory allocated in the target).
bool GetListItemRect(HWND list, int index, RECT* rect);
// Clicks the middle of that item.
bool ClickListItem(HWND list, int index);

// A child dialog of a window that holds control id of the given class (pages
// share ids, so the class tells them apart). Null when none does.
HWND FindChildDialog(HWND parent, int id, const std::string& controlClass);

// Clicks a button of another process and waits until the click is handled
// (a sent BM_CLICK); only for presses that open nothing modal.
bool ClickButtonAndWait(HWND dlg, int id);
// BM_GETCHECK of a button of another process; -1 when it cannot be asked.
int CheckState(HWND dlg, int id);

// Date-time picker values of another process; the SYSTEMTIME travels through
// memory allocated in the target.
bool SetPickerTime(HWND dlg, int id, const SYSTEMTIME& time);
bool GetPickerTime(HWND dlg, int id, SYSTEMTIME* time);

// A test of the built program on a clean state: no instance running in the
// prefix, no settings files; the program is killed and the files removed
// afterwards.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Program program;
};

}  // namespace e2e
