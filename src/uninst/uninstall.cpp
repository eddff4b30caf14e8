#include "uninst/uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include "provider/filterprovider.h"
#include "settings/settingsfile.h"

const char kProgramExeName[] = "Mossgrave.exe";
const char kUninstallerName[] = "unins000.exe";
const char kLibraryName[] = "Quorvane.dll";
const char kProgramMutexName[] = "Mossgrave";
const char kProductKey[] = "SOFTWARE\\Halvenor";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvenor";

namespace {

// Files the setup program puts into the program folder besides the
// uninstaller; the list folder is ours as a whole.
const char* const kProgramFiles[] = {kProgramExeName, "Telvaris.chm"};
const char kListFolder[] = "lists";

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Count(Removal r, RemovalReport* report) {
  if (r == Removal::kAtRestart) ++report->atRestart;
  if (r == Removal::kFailed) ++report->failed;
}

Removal ScheduleAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? Removal::kAtRestart : Removal::kFailed;
}

// Every plain file directly in folder (no subfolders: we make none there).
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + "\\" + fd.cFileName);
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  return files;
}

void DeleteKey64(const char* key) { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0); }

struct CloseRequest {
  std::string exePath;
};

BOOL CALLBACK CloseProgramWindow(HWND hwnd, LPARAM param) {
  const CloseRequest* request = reinterpret_cast<const CloseRequest*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return TRUE;
  char image[MAX_PATH] = {};
  DWORD size = sizeof image;
  const bool ours = QueryFullProcessImageNameA(process, 0, image, &size) && lstrcmpiA(image, request->exePath.c_str()) == 0;
  CloseHandle(process);
  // A prompt or a question closes as Cancel; the settings window ends the program.
  if (ours) PostMessageA(hwnd, WM_CLOSE, 0, 0);
  return TRUE;
}

bool ProgramRuns() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, kProgramMutexName);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

}  // namespace

Removal RemoveFileNowOrAtRestart(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Removal::kGone;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileA(path.c_str()) || !PathExists(path)) return Removal::kGone;
  // Moved aside first where the platform allows it (a loaded library can be
  // renamed): the name is free at once, so an installation made before the
  // restart does not lose its new file to the pending deletion.
  const std::string aside = path + "." + std::to_string(GetTickCount64()) + ".del";
  if (MoveFileExA(path.c_str(), aside.c_str(), 0)) return ScheduleAtRestart(aside);
  return ScheduleAtRestart(path);
}

Removal RemoveFolderNowOrAtRestart(const std::string& path) {
  if (!PathExists(path)) return Removal::kGone;
  if (RemoveDirectoryA(path.c_str()) || !PathExists(path)) return Removal::kGone;
  return ScheduleAtRestart(path);
}

std::vector<std::string> LibraryPaths() {
  std::vector<std::string> paths;
  char dir[MAX_PATH] = {};
  UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  if (n > 0 && n < MAX_PATH) paths.push_back(std::string(dir) + "\\" + kLibraryName);
  n = GetSystemWow64DirectoryA(dir, MAX_PATH);
  if (n > 0 && n < MAX_PATH) paths.push_back(std::string(dir) + "\\" + kLibraryName);
  return paths;
}

std::string ShortcutFolder() {
  char dir[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, dir))) return std::string();
  return std::string(dir) + "\\Halvenor";
}

std::string ShortcutPath() {
  const std::string folder = ShortcutFolder();
  return folder.empty() ? folder : folder + "\\Halvenor.lnk";
}

bool EndRunningProgram(const std::string& programDir, unsigned timeoutMs) {
  CloseRequest request{programDir + kProgramExeName};
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  ULONGLONG nextAsk = 0;
  while (ProgramRuns()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    if (now >= nextAsk) {
      EnumWindows(CloseProgramWindow, reinterpret_cast<LPARAM>(&request));
      nextAsk = now + 500;
    }
    Sleep(50);
  }
  return true;
}

RemovalReport RemoveInstallation(const std::string& programDir) {
  RemovalReport report;
  // The entries first: a library gone while its entries stay breaks every
  // program's networking.
  RemoveFilterProvider();
  if (FilterProviderPresent())
    report.entriesLeft = true;  // the library stays with them
  else
    for (const std::string& library : LibraryPaths()) Count(RemoveFileNowOrAtRestart(library), &report);

  char path[kPathSize] = {};
  if (GetMainSettingsPath(path)) Count(RemoveFileNowOrAtRestart(path), &report);
  if (GetBackupSettingsPath(path)) Count(RemoveFileNowOrAtRestart(path), &report);

  for (const char* name : kProgramFiles) Count(RemoveFileNowOrAtRestart(programDir + name), &report);
  const std::string lists = programDir + kListFolder;
  for (const std::string& file : FilesIn(lists)) Count(RemoveFileNowOrAtRestart(file), &report);
  Count(RemoveFolderNowOrAtRestart(lists), &report);

  const std::string shortcut = ShortcutPath();
  if (!shortcut.empty()) {
    Count(RemoveFileNowOrAtRestart(shortcut), &report);
    // Only when empty: the parent may keep other shortcuts there.
    RemoveDirectoryA(ShortcutFolder().c_str());
  }

  DeleteKey64(kUninstallKey);
  DeleteKey64(kProductKey);
  return report;
}

RemovalReport RemoveUninstallerAndFolder(const std::string& programDir) {
  RemovalReport report;
  if (programDir.empty() || PathExists(programDir + kProgramExeName)) {
    ++report.failed;
    return report;
  }
  Count(RemoveFileNowOrAtRestart(programDir + kUninstallerName), &report);
  std::string folder = programDir;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (!folder.empty()) Count(RemoveFolderNowOrAtRestart(folder), &report);
  return report;
}
