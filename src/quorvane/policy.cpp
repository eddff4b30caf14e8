#include "quorvane/policy.h"

#include <windows.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "settings/settingstext.h"
#ifdef QUORVANE_HAVE_ENGINE
#include "filter/blocklog.h"
#include "filter/engine.h"
#endif

namespace quorvane {
namespace {

// A 32-bit process on 64-bit Windows sees SysWOW64 as its system directory;
// the control program writes the settings into the native one.
typedef BOOL(WINAPI* RedirectFn)(PVOID*);
typedef BOOL(WINAPI* RevertFn)(PVOID);

class NativeFiles {
 public:
  NativeFiles() {
    HMODULE k = GetModuleHandleA("kernel32.dll");
    disable_ = k ? reinterpret_cast<RedirectFn>(
                       reinterpret_cast<void*>(GetProcAddress(k, "Wow64DisableWow64FsRedirection")))
                 : nullptr;
    revert_ = k ? reinterpret_cast<RevertFn>(
                      reinterpret_cast<void*>(GetProcAddress(k, "Wow64RevertWow64FsRedirection")))
                : nullptr;
    on_ = disable_ && revert_ && disable_(&old_);
  }
  ~NativeFiles() {
    if (on_) revert_(old_);
  }

 private:
  RedirectFn disable_;
  RevertFn revert_;
  PVOID old_ = nullptr;
  bool on_ = false;
};

struct FileSig {
  bool exists = false;
  DWORD sizeLow = 0, sizeHigh = 0;
  FILETIME written = {};
  bool operator==(const FileSig& o) const {
    return exists == o.exists && sizeLow == o.sizeLow && sizeHigh == o.sizeHigh &&
           written.dwLowDateTime == o.written.dwLowDateTime &&
           written.dwHighDateTime == o.written.dwHighDateTime;
  }
};

bool SettingsPaths(std::string* main, std::string* backup) {
  char dir[MAX_PATH];
  UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  *main = std::string(dir) + "\\nf.cfg";
  *backup = std::string(dir) + "\\drivers\\spinf.sys";
  return true;
}

FileSig Stat(const std::string& path) {
  FileSig s;
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) {
    s.exists = true;
    s.sizeLow = a.nFileSizeLow;
    s.sizeHigh = a.nFileSizeHigh;
    s.written = a.ftLastWriteTime;
  }
  return s;
}

// The verified text of a stored file, or false.
bool ReadSealed(const std::string& path, std::vector<char>* text) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::vector<char> bytes(kSettingsCapacity);
  DWORD total = 0;
  while (total < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(f, bytes.data() + total, static_cast<DWORD>(bytes.size() - total), &got, nullptr) ||
        got == 0)
      break;
    total += got;
  }
  CloseHandle(f);
  text->assign(kSettingsCapacity + 1, '\0');
  return UnsealSettingsBytes(bytes.data(), total, text->data(), text->size()) == UnsealResult::kOk;
}

std::string ProgramPath() {
  char path[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  return std::string(path, n);
}

#ifdef QUORVANE_HAVE_ENGINE
std::string Expand(const std::string& text) {
  char out[4096];
  DWORD n = ExpandEnvironmentStringsA(text.c_str(), out, sizeof out);
  if (n == 0 || n > sizeof out) return text;
  return std::string(out);
}

std::string LongPath(const std::string& path) {
  char out[MAX_PATH * 2];
  DWORD n = GetLongPathNameA(path.c_str(), out, sizeof out);
  if (n == 0 || n >= sizeof out) return path;
  return std::string(out, n);
}

// The program folder, as the setup records it.
std::string InstallDir() {
  const REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  for (REGSAM view : views) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvenor", 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
      continue;
    char value[MAX_PATH] = {};
    DWORD type = 0, size = sizeof value - 1;
    LONG rc = RegQueryValueExA(key, "InstallDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
      value[size < sizeof value ? size : sizeof value - 1] = '\0';
      return std::string(value);
    }
  }
  return std::string();
}

struct State {
  SRWLOCK lock = SRWLOCK_INIT;        // guards engine
  SRWLOCK loadLock = SRWLOCK_INIT;    // held while a new engine is built
  std::shared_ptr<qv::Engine> engine;
  volatile LONG refreshing = 0;
  // Read by every caller without a lock: atomic, also in 32-bit code.
  std::atomic<ULONGLONG> lastCheck{0};
  std::atomic<bool> loaded{false};
  FileSig mainSig, backupSig;
  std::string program;
  qv::Environment env;
  bool envReady = false;
};

State& TheState() {
  static State* s = new State;  // never freed: the library may be used until the process ends
  return *s;
}

void Reload(State& s) {
  if (!s.envReady) {
    s.program = ProgramPath();
    char win[MAX_PATH] = {};
    UINT n = GetSystemWindowsDirectoryA(win, MAX_PATH);
    s.env.expand = &Expand;
    s.env.longPath = &LongPath;
    s.env.windowsDirectory = n > 0 && n < MAX_PATH ? std::string(win) : std::string();
    std::string dir = InstallDir();
    if (!dir.empty()) {
      s.env.controlProgram = dir + "\\Mossgrave.exe";
      s.env.listDirectory = dir + "\\lists";
    }
    s.envReady = true;
  }
  std::string mainPath, backupPath;
  if (!SettingsPaths(&mainPath, &backupPath)) return;
  FileSig mainSig, backupSig;
  std::vector<char> text;
  bool ok = false;
  {
    NativeFiles native;
    mainSig = Stat(mainPath);
    backupSig = Stat(backupPath);
    if (s.engine && mainSig == s.mainSig && backupSig == s.backupSig) return;
    ok = ReadSealed(mainPath, &text) || ReadSealed(backupPath, &text);
  }
  auto engine = std::make_shared<qv::Engine>();
  // The lists come from the program folder, not the settings: built once
  // per process, not again at every change of the settings.
  if (s.engine) engine->SetLists(s.engine->Lists());
  engine->Load(ok ? text.data() : nullptr, s.env);
  AcquireSRWLockExclusive(&s.lock);
  s.engine = engine;
  s.mainSig = mainSig;
  s.backupSig = backupSig;
  ReleaseSRWLockExclusive(&s.lock);
  s.loaded = true;
}

std::shared_ptr<qv::Engine> CurrentEngine() {
  State& s = TheState();
  ULONGLONG now = GetTickCount64();
  if ((now - s.lastCheck >= 1000 || !s.loaded) && InterlockedCompareExchange(&s.refreshing, 1, 0) == 0) {
    AcquireSRWLockExclusive(&s.loadLock);
    try {
      s.lastCheck = now;
      Reload(s);
    } catch (...) {
    }
    ReleaseSRWLockExclusive(&s.loadLock);
    InterlockedExchange(&s.refreshing, 0);
  }
  AcquireSRWLockShared(&s.lock);
  std::shared_ptr<qv::Engine> e = s.engine;
  ReleaseSRWLockShared(&s.lock);
  if (!e) {
    // Another thread builds the first engine: wait for it rather than let this one through.
    AcquireSRWLockShared(&s.loadLock);
    ReleaseSRWLockShared(&s.loadLock);
    AcquireSRWLockShared(&s.lock);
    e = s.engine;
    ReleaseSRWLockShared(&s.lock);
  }
  return e;
}

// %ProgramData%\Mossgrave\log; the control program makes it, with rights
// for every user to add lines, and deletes the old files.
std::string LogFolder() {
  char base[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("ProgramData", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = GetEnvironmentVariableA("ALLUSERSPROFILE", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  return std::string(base, n) + "\\" + qv::BlockLog::kFolderUnderProgramData;
}

// A program that retries a blocked connection in a loop must not become a
// disk writer: a line like the last one within 10 s is left out, and a
// process writes at most 30 lines a minute.
class LogLimiter {
 public:
  bool Take(const std::string& key) {
    const ULONGLONG now = GetTickCount64();
    AcquireSRWLockExclusive(&lock_);
    bool take = true;
    if (key == last_ && now - lastAt_ < 10000) take = false;
    if (take && now - windowStart_ >= 60000) {
      windowStart_ = now;
      inWindow_ = 0;
    }
    if (take && inWindow_ >= 30) take = false;
    if (take) {
      ++inWindow_;
      last_ = key;
      lastAt_ = now;
    }
    ReleaseSRWLockExclusive(&lock_);
    return take;
  }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::string last_;
  ULONGLONG lastAt_ = 0, windowStart_ = 0;
  int inWindow_ = 0;
};

void LogBlock(const qv::Context& c, const qv::Verdict& v) {
  static LogLimiter* limiter = new LogLimiter;  // never freed, as the state
  std::string line = qv::BlockLog::FormatLine(c.now, c.programPath, v, c.remote);
  // The time stands first; the rest says which block it is.
  const size_t tab = line.find('\t');
  if (!limiter->Take(tab == std::string::npos ? line : line.substr(tab))) return;
  const std::string folder = LogFolder();
  if (folder.empty()) return;
  const std::string path = folder + "\\" + qv::BlockLog::FileName(c.now);
  // Adding only: the folder's rights let users add lines, not change them.
  auto open = [&path] {
    return CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE f = open();
  if (f == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
    // Before the control program has made it: the folder as the system gives it.
    CreateDirectoryA(folder.substr(0, folder.find_last_of('\\')).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    f = open();
  }
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(f);
}

bool ToAddress(const sockaddr* sa, int len, qv::Address* out) {
  if (!sa) return false;
  if (sa->sa_family == AF_INET && len >= static_cast<int>(sizeof(sockaddr_in))) {
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(sa);
    out->family = 4;
    memcpy(out->bytes, &in->sin_addr, 4);
    out->port = ntohs(in->sin_port);
    return true;
  }
  if (sa->sa_family == AF_INET6 && len >= static_cast<int>(sizeof(sockaddr_in6))) {
    const sockaddr_in6* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&in6->sin6_addr);
    static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (memcmp(b, kMapped, 12) == 0) {
      out->family = 4;
      memcpy(out->bytes, b + 12, 4);
    } else {
      out->family = 6;
      memcpy(out->bytes, b, 16);
    }
    out->port = ntohs(in6->sin6_port);
    return true;
  }
  return false;
}
#endif

}  // namespace

Answer Decide(Proto proto, const sockaddr* remote, int remoteLength, const uint8_t* data, size_t length) {
  Answer answer;
#ifdef QUORVANE_HAVE_ENGINE
  try {
    std::shared_ptr<qv::Engine> engine = CurrentEngine();
    if (!engine) return answer;
    static const std::string* program = new std::string(ProgramPath());
    qv::Context c;
    c.programPath = program->c_str();
    c.programPathLength = program->size();
    SYSTEMTIME t;
    GetLocalTime(&t);
    c.now.weekday = t.wDayOfWeek;
    c.now.hour = t.wHour;
    c.now.minute = t.wMinute;
    c.now.second = t.wSecond;
    c.now.year = t.wYear;
    c.now.month = t.wMonth;
    c.now.day = t.wDay;
    c.protocol = proto == Proto::kTcp ? qv::Protocol::kTcp
                 : proto == Proto::kUdp ? qv::Protocol::kUdp
                                        : qv::Protocol::kRaw;
    ToAddress(remote, remoteLength, &c.remote);
    c.data = data;
    c.dataLength = length;
    qv::Verdict v = engine->Decide(c);
    answer.request = v.isHttp;
    if (!v.block) return answer;
    answer.block = true;
    if (engine->LogEnabled()) LogBlock(c, v);
    if (v.isHttp) {
      answer.page = qv::Engine::BlockPage(v);
      answer.http = !answer.page.empty();
    }
  } catch (...) {
    return Answer();
  }
#else
  (void)proto, (void)remote, (void)remoteLength, (void)data, (void)length;
  (void)&ReadSealed, (void)&SettingsPaths, (void)&Stat, (void)&ProgramPath;
#endif
  return answer;
}

}  // namespace quorvane
