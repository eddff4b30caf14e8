// unins000.exe: removes Halvenor. Started by the program's uninstall flow
// with /silent after that flow has checked the password, deleted the
// settings files and removed the catalogue entries; in that case it asks
// nothing and shows nothing. Started any other way (Programs and Features,
// or /silent while the settings files are still there) it asks for the
// parent's password first, checked by the program's own prompt.
//
// A running program cannot delete its own file, so once everything else is
// gone it starts a copy of itself from the temporary folder with /cleanup,
// which waits for it to end and removes the uninstaller and the program
// folder; that copy is deleted at the next restart.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/inputpassdlg.h"
#include "framework/afxwin.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "uninst/uninstall.h"

namespace {

const char kCleanupSwitch[] = "/cleanup";
const char kTempPrefix[] = "hvu";
constexpr unsigned kProgramEndMs = 15000;

bool IsSwitch(const char* arg, const char* name) { return arg && lstrcmpiA(arg, name) == 0; }

bool SettingsFilesPresent() {
  char path[kPathSize] = {};
  if (GetMainSettingsPath(path) && FileExists(path)) return true;
  return GetBackupSettingsPath(path) && FileExists(path);
}

// The parent's consent: the program's prompt, then the program's question.
bool ParentAgrees() {
  CInputPassDlg prompt;
  prompt.DoModal();
  if (!prompt.m_bAccepted) return false;
  return AppMessageBox("确定要卸载本软件吗?", MB_OKCANCEL) == IDOK;
}

std::string ModulePath() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return (n > 0 && n < MAX_PATH) ? std::string(path) : std::string();
}

// Starts the temporary copy that removes this file and the folder after this
// process has ended. False when no copy could be started.
bool StartCleanupCopy(const std::string& programDir) {
  char tempDir[MAX_PATH] = {};
  char copy[MAX_PATH] = {};
  const DWORD n = GetTempPathA(MAX_PATH, tempDir);
  if (n == 0 || n >= MAX_PATH || !GetTempFileNameA(tempDir, kTempPrefix, 0, copy)) return false;
  const std::string self = ModulePath();
  if (self.empty() || !CopyFileA(self.c_str(), copy, FALSE)) {
    DeleteFileA(copy);
    return false;
  }
  // The copy waits on this handle, which it inherits.
  HANDLE me = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE, TRUE, 0)) {
    DeleteFileA(copy);
    return false;
  }
  std::string dir = programDir;
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();  // "C:\x\" would quote its own quote
  std::string cmd = "\"" + std::string(copy) + "\" " + kCleanupSwitch + " " +
                    std::to_string(reinterpret_cast<uintptr_t>(me)) + " \"" + dir + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  const BOOL started = CreateProcessA(copy, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, tempDir, &si, &pi);
  CloseHandle(me);
  if (!started) {
    DeleteFileA(copy);
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// Whether path is a temporary copy made by StartCleanupCopy.
bool IsTemporaryCopy(const std::string& path) {
  char tempDir[MAX_PATH] = {};
  const DWORD n = GetTempPathA(MAX_PATH, tempDir);
  if (n == 0 || n >= MAX_PATH) return false;
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return false;
  const std::string dir = path.substr(0, slash + 1), name = path.substr(slash + 1);
  char longTemp[MAX_PATH] = {}, longDir[MAX_PATH] = {};
  if (!GetLongPathNameA(tempDir, longTemp, MAX_PATH) || !GetLongPathNameA(dir.c_str(), longDir, MAX_PATH)) return false;
  return lstrcmpiA(longTemp, longDir) == 0 && name.size() > 7 && _strnicmp(name.c_str(), kTempPrefix, 3) == 0 &&
         lstrcmpiA(name.c_str() + name.size() - 4, ".tmp") == 0;
}

// The temporary copy's work: argv "/cleanup <handle> <folder>".
int Cleanup(int argc, char** argv) {
  if (argc < 4) return 1;
  const uintptr_t value = std::strtoull(argv[2], nullptr, 10);
  HANDLE parent = reinterpret_cast<HANDLE>(value);
  if (value != 0) {
    WaitForSingleObject(parent, 30000);
    CloseHandle(parent);
  }
  std::string dir = argv[3];
  if (dir.empty()) return 1;
  if (dir.back() != '\\') dir += '\\';
  const RemovalReport report = RemoveUninstallerAndFolder(dir);
  const std::string self = ModulePath();
  if (IsTemporaryCopy(self)) MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return report.failed ? 1 : 0;
}

class CUninstallApp : public CWinApp {
 public:
  BOOL InitInstance() override;
  int ExitInstance() override { return m_exitCode; }

 private:
  int m_exitCode = 1;
};

CUninstallApp theUninstaller;

BOOL CUninstallApp::InitInstance() {
  const int argc = __argc;
  char** argv = __argv;
  if (argc >= 2 && IsSwitch(argv[1], kCleanupSwitch)) {
    m_exitCode = Cleanup(argc, argv);
    return FALSE;
  }
  bool silent = false;
  for (int i = 1; i < argc; ++i) silent = silent || IsSwitch(argv[i], "/silent");

  char dirBuf[kPathSize] = {};
  if (!GetProgramDirectory(dirBuf)) return FALSE;
  const std::string programDir = dirBuf;

  // /silent alone is no consent: anyone can type it. Only after the
  // program's own flow, which deletes the settings files first, is the
  // password already checked.
  const bool asked = !silent || SettingsFilesPresent();
  if (asked && !ParentAgrees()) {
    m_exitCode = 2;
    return FALSE;
  }

  EndRunningProgram(programDir, kProgramEndMs);
  RemovalReport report = RemoveInstallation(programDir);

  // The program still there means it is in use: the rest goes at restart too.
  const bool programLeft = GetFileAttributesA((programDir + kProgramExeName).c_str()) != INVALID_FILE_ATTRIBUTES;
  if (programLeft || !StartCleanupCopy(programDir)) {
    if (!MoveFileExA((programDir + kUninstallerName).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) ++report.failed;
    std::string folder = programDir;
    folder.pop_back();
    if (!MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) ++report.failed;
    ++report.atRestart;
  }

  if (asked) {
    if (report.entriesLeft)
      AppMessageBox("Halvenor 未能完全卸载:网络过滤项无法从系统中移除,过滤库已保留,以免网络中断。请重新启动计算机后再次卸载。",
                    MB_OK | MB_ICONWARNING);
    else if (report.failed)
      AppMessageBox("Halvenor 未能完全卸载:有些文件无法删除。", MB_OK | MB_ICONWARNING);
    else if (report.atRestart)
      AppMessageBox("Halvenor 已卸载。有些文件正在使用,将在重新启动计算机后删除。", MB_OK | MB_ICONINFORMATION);
    else
      AppMessageBox("Halvenor 已从您的计算机中卸载。", MB_OK | MB_ICONINFORMATION);
  }
  m_exitCode = report.failed || report.entriesLeft ? 3 : 0;
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AfxWinMain(instance); }
