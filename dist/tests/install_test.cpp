// The setup program and the uninstaller in a fresh prefix, in the order a
// family meets them: silent install, first start from the Start-menu
// shortcut, uninstall from the program, a second install and a reinstall
// over it, then the uninstaller started from Programs and Features with a
// wrong and with the right password. The cases run in this order and build
// on each other's state.
//
// The test runs as a 64-bit program, so the registry and the system
// directory are the 64-bit ones.
//
// Environment (set by test-dist.sh): HALVENOR_SETUP, the setup program's
// Windows path; HALVENOR_STAGE, the folder of the files it carries; HALVENOR_LIB64 / HALVENOR_LIB32 "1" when it carries the
// filter library; HALVENOR_LISTS the list files it carries, separated by ';'.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "e2edriver.h"
#include "resource.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "settings/settingstext.h"
#include "settingsfiles.h"
#include "testutil.h"

namespace {

using namespace e2e;

constexpr DWORD kSetupMs = 120000;
constexpr DWORD kStartMs = 30000;
constexpr DWORD kRemovalMs = 40000;
const char kParentPassword[] = "Kite-Lantern-7";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string Known(int csidl) {
  char dir[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, dir);
  return dir;
}

std::string ProgramDir() { return Known(CSIDL_PROGRAM_FILES) + "\\Halvenor"; }
std::string ShortcutDir() { return Known(CSIDL_COMMON_PROGRAMS) + "\\Halvenor"; }
std::string ShortcutFile() { return ShortcutDir() + "\\Halvenor.lnk"; }

std::string SystemDir() {
  char d[MAX_PATH] = {};
  GetSystemDirectoryA(d, MAX_PATH);
  return d;
}

std::string Wow64Dir() {
  char d[MAX_PATH] = {};
  GetSystemWow64DirectoryA(d, MAX_PATH);
  return d;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  for (std::string part; std::getline(in, part, sep);)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

// Every file the setup program puts down, with whether it is expected.
struct Installed {
  std::string path;
  bool expected;
};

std::vector<Installed> InstalledFiles() {
  const std::string dir = ProgramDir();
  std::vector<Installed> files = {
      {dir + "\\Mossgrave.exe", true},
      {dir + "\\Telvaris.chm", true},
      {dir + "\\unins000.exe", true},
      {ShortcutFile(), true},
      {SystemDir() + "\\Quorvane.dll", Env("HALVENOR_LIB64") == "1"},
      {Wow64Dir() + "\\Quorvane.dll", Env("HALVENOR_LIB32") == "1"},
  };
  for (const std::string& name : Split(Env("HALVENOR_LISTS"), ';')) files.push_back({dir + "\\lists\\" + name, true});
  return files;
}

// A process started with arguments, not in a job: the uninstaller's own
// helper process must outlive it.
class Process {
 public:
  ~Process() {
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
      CloseHandle(pi_.hProcess);
    }
  }
  bool Start(const std::string& exe, const std::string& args) {
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return false;
    CloseHandle(pi_.hThread);
    pi_.hThread = nullptr;
    return true;
  }
  // The exit code, or -1 when it did not end in time.
  long Wait(DWORD ms) {
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
  }
  DWORD pid() const { return pi_.dwProcessId; }

 private:
  PROCESS_INFORMATION pi_ = {};
};

long RunSetupSilently() {
  Process setup;
  if (!setup.Start(Env("HALVENOR_SETUP"), "/S")) return -2;
  return setup.Wait(kSetupMs);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD ms) {
  for (DWORD waited = 0;; waited += 100) {
    if (condition()) return true;
    if (waited >= ms) return false;
    Sleep(100);
  }
}

std::string RegString(const char* key, const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return "";
  return value;
}

bool RegKeyExists(const char* key) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_64KEY, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

const char kProductKey[] = "SOFTWARE\\Halvenor";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvenor";

std::string ShortcutTarget(const std::string& lnk) {
  std::string target;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t wide[MAX_PATH] = {};
      MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
      char path[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
        target = path;
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return target;
}

// A version string of a file's resource, from its first translation.
std::string VersionString(const std::string& file, const char* name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (!size) return "";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return "";
  struct Translation {
    WORD language, codePage;
  }* tr = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &len) || len < 4)
    return "";
  char query[128];
  snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", tr->language, tr->codePage, name);
  char* value = nullptr;
  if (!VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&value), &len) || !value) return "";
  return value;
}

// No symbol table left in the image.
bool IsStripped(const std::string& exe) {
  const std::string bytes = ReadFileBytes(exe);
  if (bytes.size() < 0x40) return false;
  const DWORD pe = *reinterpret_cast<const DWORD*>(bytes.data() + 0x3c);
  if (pe + sizeof(IMAGE_NT_HEADERS64) > bytes.size()) return false;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + pe);
  return nt->FileHeader.PointerToSymbolTable == 0 && nt->FileHeader.NumberOfSymbols == 0;
}

// Pending deletions at the next restart, as the platform keeps them.
std::string PendingDeletions() {
  char buf[16384] = {};
  DWORD size = sizeof buf - 2;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return "";
  std::string all(buf, size);
  for (char& c : all)
    if (c == '\0') c = '\n';
  return all;
}

// A restart as far as pending deletions go.
void SimulateRestart() {
  Process boot;
  ASSERT_TRUE(boot.Start(SystemDir() + "\\wineboot.exe", "-r"));
  ASSERT_GE(boot.Wait(60000), 0);
}

bool NameIsOurs(const char* name) {
  static const char* const kNames[] = {"Mossgrave.exe", "unins000.exe", "Quorvane.dll", "Telvaris.chm",
                                       "nf.cfg",        "spinf.sys",    "Halvenor",     "Halvenor.lnk"};
  const size_t len = strlen(name);
  for (const char* n : kNames) {
    // Also "Quorvane.dll.<n>.del": a file in use moved aside for the restart.
    const size_t nlen = strlen(n);
    if (_strnicmp(name, n, nlen) == 0 && (name[nlen] == '\0' || name[nlen] == '.')) return true;
  }
  // The uninstaller's temporary copy and files renamed away by a reinstall.
  if (len > 7 && _strnicmp(name, "hvu", 3) == 0 && lstrcmpiA(name + len - 4, ".tmp") == 0) return true;
  return len > 4 && lstrcmpiA(name + len - 4, ".old") == 0 && strstr(name, "Quorvane");
}

void FindOurs(const std::string& dir, std::vector<std::string>* found, int depth = 0) {
  if (depth > 12) return;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileExA((dir + "\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, "..")) continue;
    const std::string path = dir + "\\" + fd.cFileName;
    if (NameIsOurs(fd.cFileName)) found->push_back(path);
    const bool link = fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) FindOurs(path, found, depth + 1);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

std::vector<std::string> FilesOfOursInPrefix() {
  std::vector<std::string> found;
  FindOurs("C:", &found);
  return found;
}

void ExpectInstalled() {
  for (const Installed& f : InstalledFiles())
    if (f.expected) {
      EXPECT_TRUE(FileIsThere(f.path)) << f.path;
    }
  EXPECT_EQ(RegString(kProductKey, "InstallDir"), ProgramDir());
  EXPECT_EQ(RegString(kUninstallKey, "DisplayName"), "Halvenor");
  EXPECT_EQ(RegString(kUninstallKey, "UninstallString"), "\"" + ProgramDir() + "\\unins000.exe\"");
}

// Everything listed above gone, the settings files too, and nothing of
// ours anywhere in the prefix but what a restart still has to delete.
void ExpectRemoved(const std::vector<std::string>& allowedPending) {
  for (const Installed& f : InstalledFiles()) {
    const bool held = std::find(allowedPending.begin(), allowedPending.end(), f.path) != allowedPending.end();
    if (!held) {
      EXPECT_FALSE(FileIsThere(f.path)) << f.path;
    }
  }
  EXPECT_FALSE(FileIsThere(MainSettingsPath()));
  EXPECT_FALSE(FileIsThere(BackupSettingsPath()));
  EXPECT_FALSE(FileIsThere(ShortcutDir()));
  EXPECT_FALSE(RegKeyExists(kProductKey));
  EXPECT_FALSE(RegKeyExists(kUninstallKey));
  const std::string pending = PendingDeletions();
  for (const std::string& path : FilesOfOursInPrefix()) {
    EXPECT_NE(pending.find(path), std::string::npos) << "left behind and not due at restart: " << path;
  }
  SimulateRestart();
  EXPECT_EQ(FilesOfOursInPrefix(), std::vector<std::string>{});
}

// The settings text without its install date, which every write renews.
std::string WithoutInstallDate(const std::string& text) {
  std::string out;
  for (const std::string& line : Split(text, '\n'))
    if (line.rfind("install date:", 0) != 0) out += line + "\n";
  return out;
}

std::string ReadMainSettings() {
  std::vector<char> buf(kSettingsCapacity);
  if (!ReadSettingsFile(MainSettingsPath().c_str(), buf.data(), buf.size())) return "";
  return buf.data();
}

// Enters the password into a prompt of pid and confirms it.
// Waits out the prompt's pause after repeated wrong entries (its OK button
// is disabled then), then enters the password.
void EnterPassword(DWORD pid, const std::string& password) {
  HWND prompt = WaitForTopWindow(PromptQuery(pid), kStartMs);
  ASSERT_NE(prompt, nullptr);
  ASSERT_TRUE(WaitUntil([prompt] { return IsWindowEnabled(GetDlgItem(prompt, IDOK)) != FALSE; }, kStartMs));
  ASSERT_TRUE(SetControlText(prompt, IDC_PASSWORD, password));
  ASSERT_TRUE(ClickButton(prompt, IDOK));
}

void AnswerFactoryPasswordAdvice(DWORD pid) {
  HWND box = WaitForMessageBox(pid, kStartMs);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find("初始密码"), std::string::npos);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
}

TEST(Install, SilentSetupPutsEveryPartInPlace) {
  ASSERT_FALSE(Env("HALVENOR_SETUP").empty());
  ASSERT_EQ(RunSetupSilently(), 0);
  ExpectInstalled();
  EXPECT_EQ(ShortcutTarget(ShortcutFile()), ProgramDir() + "\\Mossgrave.exe");
  EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), "2.0");
  EXPECT_FALSE(RegString(kUninstallKey, "Publisher").empty());
  DWORD size = 0, bytes = sizeof size;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", RRF_RT_REG_DWORD,
                         nullptr, &size, &bytes),
            ERROR_SUCCESS);
  EXPECT_GT(size, 100u);  // KB: the program alone is larger
  for (const std::string& exe : {ProgramDir() + "\\Mossgrave.exe", ProgramDir() + "\\unins000.exe"}) {
    EXPECT_TRUE(IsStripped(exe)) << exe;
  }
  for (const std::string& file : {ProgramDir() + "\\Mossgrave.exe", ProgramDir() + "\\unins000.exe", Env("HALVENOR_SETUP")}) {
    EXPECT_EQ(VersionString(file, "ProductName"), "Halvenor") << file;
    EXPECT_EQ(VersionString(file, "ProductVersion"), "2.0") << file;
  }
  EXPECT_FALSE(FileIsThere(MainSettingsPath()));  // the program makes them at its first start
}

TEST(Install, ProgramStartsFromTheShortcutAndWritesTheDefaults) {
  Program program;
  ASSERT_TRUE(program.Start(ShortcutTarget(ShortcutFile())));
  HWND box = WaitForMessageBox(program.pid(), kStartMs);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find(kFactoryPassword), std::string::npos);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_NE(WaitForTopWindow(PromptQuery(program.pid()), kStartMs), nullptr);
  EXPECT_EQ(WithoutInstallDate(ReadMainSettings()), WithoutInstallDate(BuildDefaultSettingsText()));
  EXPECT_TRUE(FileIsThere(BackupSettingsPath()));

  // The uninstall flow of the installed program: password, question; the
  // uninstaller it starts removes the rest without a word. Each entry of the
  // factory password brings the advice to set an own one.
  EnterPassword(program.pid(), kFactoryPassword);
  AnswerFactoryPasswordAdvice(program.pid());
  HWND main = WaitForTopWindow(MainWindowQuery(program.pid()), kStartMs);
  ASSERT_NE(main, nullptr);
  PostMessageA(main, WM_COMMAND, ID_UNINSTALL, 0);
  EnterPassword(program.pid(), kFactoryPassword);
  AnswerFactoryPasswordAdvice(program.pid());
  box = WaitForMessageBox(program.pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "确定要卸载本软件吗?");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_TRUE(program.WaitForExit(kStartMs));
  // The program's job would end the uninstaller with it: wait here.
  EXPECT_TRUE(WaitUntil([] { return !FileIsThere(ProgramDir()); }, kRemovalMs));
  ExpectRemoved({});
}

TEST(Install, ReinstallKeepsTheSettings) {
  ASSERT_EQ(RunSetupSilently(), 0);
  ASSERT_TRUE(StoreDefaultsWithPassword(kParentPassword));
  const std::string main = ReadFileBytes(MainSettingsPath()), backup = ReadFileBytes(BackupSettingsPath());
  // Over a running program, as an upgrade usually comes: its file is in use.
  Program program;
  ASSERT_TRUE(program.Start(ProgramDir() + "\\Mossgrave.exe"));
  ASSERT_NE(WaitForTopWindow(PromptQuery(program.pid()), kStartMs), nullptr);
  ASSERT_EQ(RunSetupSilently(), 0);
  program.Kill();
  ExpectInstalled();
  EXPECT_EQ(ReadFileBytes(ProgramDir() + "\\Mossgrave.exe"), ReadFileBytes(Env("HALVENOR_STAGE") + "\\Mossgrave.exe"));
  EXPECT_EQ(ReadFileBytes(MainSettingsPath()), main);
  EXPECT_EQ(ReadFileBytes(BackupSettingsPath()), backup);
}

// Without the password nothing goes: neither from Programs and Features nor
// with a /silent typed by hand while the settings are there.
TEST(Install, UninstallerRefusesAWrongPasswordAndRemovesNothing) {
  const std::string settings = ReadFileBytes(MainSettingsPath());
  for (const char* args : {"", "/silent"}) {
    SCOPED_TRACE(args);
    Process uninst;
    ASSERT_TRUE(uninst.Start(ProgramDir() + "\\unins000.exe", args));
    // Near misses, and the factory password, which counts only when no
    // settings can be read.
    for (const std::string& wrong : {std::string(kParentPassword) + "x", std::string("kite-lantern-7"),
                                     std::string(kFactoryPassword), std::string()}) {
      SCOPED_TRACE(wrong);
      EnterPassword(uninst.pid(), wrong);
      HWND box = WaitForMessageBox(uninst.pid());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(MessageBoxText(box), "密码错误");
      ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    }
    HWND prompt = WaitForTopWindow(PromptQuery(uninst.pid()));
    ASSERT_NE(prompt, nullptr);
    ASSERT_TRUE(ClickButton(prompt, IDCANCEL));
    EXPECT_NE(uninst.Wait(kStartMs), 0);
    ExpectInstalled();
    EXPECT_EQ(ReadFileBytes(MainSettingsPath()), settings);
  }
}

// The helper switch of the uninstaller's temporary copy removes nothing of a
// working installation, and a copy in the program folder never marks
// itself for deletion.
TEST(Install, CleanupSwitchLeavesAWorkingInstallationAlone) {
  Process cleanup;
  ASSERT_TRUE(cleanup.Start(ProgramDir() + "\\unins000.exe", "/cleanup 0 \"" + ProgramDir() + "\""));
  EXPECT_NE(cleanup.Wait(kStartMs), 0);
  ExpectInstalled();
  EXPECT_EQ(PendingDeletions().find("unins000"), std::string::npos);
}

TEST(Install, UninstallerWithTheRightPasswordRemovesEverything) {
  // A library in use (or, without one, the help file) goes at the restart.
  const bool library = Env("HALVENOR_LIB64") == "1";
  const std::string held = library ? SystemDir() + "\\Quorvane.dll" : ProgramDir() + "\\Telvaris.chm";
  HANDLE hold = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);

  // The program running at its prompt is asked to end before its files go.
  Program program;
  ASSERT_TRUE(program.Start(ProgramDir() + "\\Mossgrave.exe"));
  ASSERT_NE(WaitForTopWindow(PromptQuery(program.pid()), kStartMs), nullptr);

  Process uninst;
  ASSERT_TRUE(uninst.Start(ProgramDir() + "\\unins000.exe", ""));
  EnterPassword(uninst.pid(), kParentPassword);
  HWND box = WaitForMessageBox(uninst.pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "确定要卸载本软件吗?");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  box = WaitForMessageBox(uninst.pid(), kRemovalMs);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find("重新启动"), std::string::npos) << "tells of the file left for the restart";
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(uninst.Wait(kStartMs), 0);
  EXPECT_TRUE(program.WaitForExit(0));
  EXPECT_TRUE(WaitUntil([] { return !FileIsThere(ProgramDir() + "\\unins000.exe"); }, kRemovalMs));

  EXPECT_TRUE(FileIsThere(held));
  EXPECT_NE(PendingDeletions().find(held), std::string::npos);
  CloseHandle(hold);
  ExpectRemoved({held});
}

}  // namespace
