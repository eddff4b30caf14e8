#include "e2edriver.h"

#include <cstdio>

#include <commctrl.h>

#include "settings/settingsfile.h"

namespace e2e {

namespace {
constexpr DWORD kPollMs = 25;

struct EnumState {
  const WindowQuery* q;
  HWND found;
};

bool Matches(HWND hwnd, const WindowQuery& q) {
  if (q.visibleOnly && !IsWindowVisible(hwnd)) return false;
  if (q.pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != q.pid) return false;
  }
  if (!q.className.empty() && ClassOf(hwnd) != q.className) return false;
  if (!q.caption.empty() && WindowText(hwnd) != q.caption) return false;
  if (q.extra && !q.extra(hwnd)) return false;
  return true;
}

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
  EnumState* s = reinterpret_cast<EnumState*>(lParam);
  if (!Matches(hwnd, *s->q)) return TRUE;
  s->found = hwnd;
  return FALSE;
}
}  // namespace

std::string ToWindowsPath(const std::string& unixPath) {
  std::string p = unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  if (!p.empty() && p[0] == '\\') p = "Z:" + p;
  return p;
}

Program::~Program() { Kill(); }

bool Program::Start(const std::string& exePath) {
  Kill();
  job_ = CreateJobObjectA(nullptr, nullptr);
  if (job_) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
    info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &info, sizeof info);
  }
  std::string cmd = "\"" + exePath + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  // Under Wine on a loaded machine a start can fail now and then; try again
  // before calling it a failure.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt) Sleep(500);
    started = CreateProcessA(exePath.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (!started) fprintf(stderr, "CreateProcess %s failed: %lu\n", exePath.c_str(), GetLastError());
  }
  if (!started) return false;
  if (job_) AssignProcessToJobObject(job_, pi.hProcess);  // best effort: a safety net only
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

bool Program::IsRunning() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Program::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
  return true;
}

bool Program::WaitForIdle(DWORD timeoutMs) const {
  return process_ && WaitForInputIdle(process_, timeoutMs) == 0;
}

void Program::Kill() {
  if (process_) {
    if (IsRunning()) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
  if (job_) CloseHandle(job_);
  process_ = nullptr;
  job_ = nullptr;
  pid_ = 0;
}

WindowQuery PromptQuery(DWORD pid) {
  WindowQuery q;
  q.pid = pid;
  q.caption = "密码验证";
  q.className = "#32770";
  return q;
}

WindowQuery MainWindowQuery(DWORD pid) {
  WindowQuery q;
  q.pid = pid;
  q.caption = "Halvenor";
  q.className = "#32770";
  q.extra = [](HWND h) { return !IsMessageBox(h); };
  return q;
}

HWND FindTopWindow(const WindowQuery& q) {
  EnumState s{&q, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitForTopWindow(const WindowQuery& q, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = FindTopWindow(q)) return h;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

int CountVisibleWindows(DWORD pid) {
  struct Count {
    DWORD pid;
    int n;
  } c{pid, 0};
  EnumWindows(
      [](HWND hwnd, LPARAM l) -> BOOL {
        Count* c = reinterpret_cast<Count*>(l);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == c->pid && IsWindowVisible(hwnd)) ++c->n;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&c));
  return c.n;
}

std::string WindowText(HWND hwnd) {
  // Bounded: a window of another process may hold any text.
  char buf[1024] = {};
  GetWindowTextA(hwnd, buf, sizeof buf);
  return buf;
}

std::string ClassOf(HWND hwnd) {
  char buf[256] = {};
  GetClassNameA(hwnd, buf, sizeof buf);
  return buf;
}

bool IsMessageBox(HWND hwnd) { return ClassOf(hwnd) == "#32770" && GetDlgItem(hwnd, kMessageBoxTextId) != nullptr; }

HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
  WindowQuery q;
  q.pid = pid;
  q.caption = "Halvenor";
  q.className = "#32770";
  q.extra = IsMessageBox;
  return WaitForTopWindow(q, timeoutMs);
}

std::string MessageBoxText(HWND box) { return ControlText(box, kMessageBoxTextId); }

bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs) {
  if (!ClickButton(box, buttonId)) return false;
  const DWORD start = GetTickCount();
  while (IsWindow(box)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

bool ClickButton(HWND dlg, int id) {
  HWND button = GetDlgItem(dlg, id);
  if (!button) return false;
  return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

bool SetControlText(HWND dlg, int id, const std::string& text) {
  HWND control = GetDlgItem(dlg, id);
  if (!control) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kDefaultTimeoutMs, &result) != 0 &&
         result != 0;
}

std::string ControlText(HWND dlg, int id) {
  HWND control = GetDlgItem(dlg, id);
  if (!control) return std::string();
  char buf[1024] = {};
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(control, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                           kDefaultTimeoutMs, &len))
    return std::string();
  buf[sizeof buf - 1] = '\0';
  return buf;
}

bool ClickAt(HWND hwnd, int x, int y) {
  const LPARAM at = MAKELPARAM(x, y);
  return PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageA(hwnd, WM_LBUTTONUP, 0, at);
}

bool GetListItemRect(HWND list, int index, RECT* rect) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return false;
  bool ok = false;
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
  if (remote) {
    RECT r = {LVIR_BOUNDS, 0, 0, 0};
    SIZE_T n = 0;
    DWORD_PTR result = 0;
    ok = WriteProcessMemory(process, remote, &r, sizeof r, &n) &&
         SendMessageTimeoutA(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                             kDefaultTimeoutMs, &result) &&
         result && ReadProcessMemory(process, remote, rect, sizeof *rect, &n);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return ok;
}

bool ClickListItem(HWND list, int index) {
  RECT r;
  if (!GetListItemRect(list, index, &r)) return false;
  return ClickAt(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

namespace {

struct ChildDialogSearch {
  int id;
  const std::string* controlClass;
  HWND found;
};

BOOL CALLBACK ChildDialogProc(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<ChildDialogSearch*>(lParam);
  if (ClassOf(hwnd) != "#32770") return TRUE;
  HWND control = GetDlgItem(hwnd, s->id);
  if (control && ClassOf(control) == *s->controlClass) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Sends a message whose lParam points to a T that lives in the target
// process for the call: *value is copied there before and back after.
template <typename T>
bool SendWithRemote(HWND control, UINT msg, WPARAM wParam, T* value, DWORD_PTR* result) {
  DWORD pid = 0;
  GetWindowThreadProcessId(control, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return false;
  bool ok = false;
  void* remote = VirtualAllocEx(process, nullptr, sizeof(T), MEM_COMMIT, PAGE_READWRITE);
  if (remote) {
    SIZE_T n = 0;
    ok = WriteProcessMemory(process, remote, value, sizeof(T), &n) &&
         SendMessageTimeoutA(control, msg, wParam, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                             kDefaultTimeoutMs, result) &&
         ReadProcessMemory(process, remote, value, sizeof(T), &n);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return ok;
}

}  // namespace

HWND FindChildDialog(HWND parent, int id, const std::string& controlClass) {
  ChildDialogSearch s{id, &controlClass, nullptr};
  EnumChildWindows(parent, ChildDialogProc, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

bool ClickButtonAndWait(HWND dlg, int id) {
  HWND button = GetDlgItem(dlg, id);
  if (!button) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kDefaultTimeoutMs, &result) != 0;
}

int CheckState(HWND dlg, int id) {
  HWND button = GetDlgItem(dlg, id);
  if (!button) return -1;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kDefaultTimeoutMs, &result)) return -1;
  return static_cast<int>(result);
}

bool SetPickerTime(HWND dlg, int id, const SYSTEMTIME& time) {
  HWND picker = GetDlgItem(dlg, id);
  if (!picker) return false;
  SYSTEMTIME copy = time;
  DWORD_PTR result = 0;
  return SendWithRemote(picker, DTM_SETSYSTEMTIME, GDT_VALID, &copy, &result) && result != 0;
}

bool GetPickerTime(HWND dlg, int id, SYSTEMTIME* time) {
  HWND picker = GetDlgItem(dlg, id);
  if (!picker) return false;
  SYSTEMTIME copy = {};
  DWORD_PTR result = 0;
  if (!SendWithRemote(picker, DTM_GETSYSTEMTIME, 0, &copy, &result) || result != GDT_VALID) return false;
  *time = copy;
  return true;
}

void ProgramTest::SetUp() {
  // A program left running would turn every start into a second instance.
  HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, "Mossgrave");
  if (other) CloseHandle(other);
  ASSERT_EQ(nullptr, other) << "a Mossgrave instance is already running in this prefix";
  DeleteSettingsFiles();
}

void ProgramTest::TearDown() {
  program.Kill();
  DeleteSettingsFiles();
}

}  // namespace e2e
