#include "pages/programscan.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <cstring>

#include "settings/globals.h"
#include "settings/nametable.h"
#include "settings/settingstext.h"

namespace {
HANDLE g_hScanThread = nullptr;
HWND g_hScanTarget = nullptr;
std::atomic<bool> g_bStopScan{false};

constexpr uint32_t kScanBuckets = 1024;

char* CopyText(const char* text) {
  const size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy) memcpy(copy, text, n);
  return copy;
}

std::atomic<FindFirstFileExFunc> g_findFirstFileEx{nullptr};

// Lists a folder without the short 8.3 names, which nothing here reads and
// which are costly to make up. Systems before Windows 7 know neither the
// basic level nor the large fetch and refuse the call as a whole: they get
// the plain listing.
HANDLE FindFirstEntry(const char* pattern, WIN32_FIND_DATAA* fd) {
  FindFirstFileExFunc find = g_findFirstFileEx.load();
  if (!find) find = FindFirstFileExA;
  HANDLE h = find(pattern, FindExInfoBasic, fd, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
    h = find(pattern, FindExInfoStandard, fd, FindExSearchNameMatch, nullptr, 0);
  return h;
}

bool IsDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// A name as the list shows it and the settings hold it: one value.
bool IsAcceptableName(const std::string& name) {
  return name.size() <= kValueSize - 1 && IsSafeSettingsValue(name.c_str());
}

// Resolves folder + file as a shortcut to a program outside the Windows
// folder whose target can stand in the settings; target gets the path.
bool ResolveProgramShortcut(const std::string& folder, const char* fileName, const ScanContext& ctx,
                            char (&target)[kPathSize]) {
  std::string extension, base;
  SplitFileName(fileName, extension, base);
  if (extension != "lnk") return false;
  memset(target, 0, sizeof target);
  const std::string path = folder + fileName;
  const bool resolved = ctx.resolver ? ctx.resolver->Resolve(path.c_str(), target, static_cast<int>(sizeof target))
                                     : ResolveShortcut(path.c_str(), target, static_cast<int>(sizeof target));
  if (!resolved) return false;
  target[kPathSize - 1] = '\0';
  SplitFileName(target, extension, base);
  if (extension != "exe") return false;
  if (IsUnderWindowsFolder(target, ctx.systemDirectory.c_str())) return false;
  return IsSafeSettingsValue(target);
}
}  // namespace

void SetFindFirstFileEx(FindFirstFileExFunc find) { g_findFirstFileEx = find; }

void SplitFileName(const char* name, std::string& extension, std::string& base) {
  const char* dot = strrchr(name, '.');
  if (!dot) {
    extension.clear();
    base = name;
    return;
  }
  base.assign(name, static_cast<size_t>(dot - name));
  extension = dot + 1;
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

CShortcutResolver::~CShortcutResolver() {
  if (m_file) m_file->Release();
  if (m_link) m_link->Release();
}

bool CShortcutResolver::Resolve(const char* shortcutPath, char* target, int capacity) {
  if (!m_bCreated) {
    m_bCreated = true;
    CoInitialize(nullptr);  // once per thread; a repeated call does no harm
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&m_link)))) {
      if (FAILED(m_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&m_file)))) m_file = nullptr;
    } else {
      m_link = nullptr;
    }
  }
  if (!m_link || !m_file) return false;
  WCHAR wide[kPathSize] = {};
  if (MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, wide, static_cast<int>(kPathSize)) <= 0) return false;
  if (FAILED(m_file->Load(wide, STGM_READ))) return false;
  // The stored text, environment variables unexpanded.
  return SUCCEEDED(m_link->GetPath(target, capacity, nullptr, SLGP_RAWPATH));
}

bool ResolveShortcut(const char* shortcutPath, char* target, int capacity) {
  CShortcutResolver resolver;
  return resolver.Resolve(shortcutPath, target, capacity);
}

bool IsUnderWindowsFolder(const char* path, const char* systemDirectory) {
  std::string windowsFolder(systemDirectory, strnlen(systemDirectory, 2));
  windowsFolder += "\\windows\\";
  if (!windowsFolder.empty() && windowsFolder[0] >= 'A' && windowsFolder[0] <= 'Z')
    windowsFolder[0] = static_cast<char>(windowsFolder[0] - 'A' + 'a');
  std::string lowered(path);
  if (!lowered.empty()) CharLowerBuffA(&lowered[0], static_cast<DWORD>(lowered.size()));
  return lowered.find(windowsFolder) != std::string::npos;
}

bool IsUnderWindowsFolder(const char* path) {
  char systemDirectory[kPathSize] = {};
  GetSystemDirectoryA(systemDirectory, kPathSize);
  return IsUnderWindowsFolder(path, systemDirectory);
}

bool IsSafeSettingsValue(const char* text) {
  for (size_t i = 0; text[i]; ++i) {
    if (text[i] == '\r' || text[i] == '\n') return false;
    if (text[i] == ':' && i != 1) return false;
  }
  return true;
}

void ScanProgramSubfolder(const char* pattern, const char* folderName, const ScanContext& ctx) {
  if (!IsAcceptableName(folderName)) return;
  std::string folder(pattern);
  if (!folder.empty() && folder.back() == '*') folder.pop_back();
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstEntry(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (ctx.Stopped()) break;
    if (IsDotEntry(fd.cFileName) || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    char target[kPathSize];
    if (!ResolveProgramShortcut(folder, fd.cFileName, ctx, target)) continue;
    // The program's folder, with its backslash: the page knows a folder
    // entry by it.
    if (char* slash = strrchr(target, '\\')) slash[1] = '\0';
    char* copy = CopyText(target);
    if (copy && !ctx.table->Insert(folderName, copy)) free(copy);
    break;  // only the first program of a folder counts
  } while (FindNextFileA(find, &fd));
  FindClose(find);
}

void ScanProgramsFolder(const char* pattern, const ScanContext& ctx) {
  std::string folder(pattern);
  if (!folder.empty() && folder.back() == '*') folder.pop_back();
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstEntry(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (ctx.Stopped()) break;
    if (IsDotEntry(fd.cFileName)) continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ScanProgramSubfolder((folder + fd.cFileName + "\\*").c_str(), fd.cFileName, ctx);
      continue;
    }
    char target[kPathSize];
    if (!ResolveProgramShortcut(folder, fd.cFileName, ctx, target)) continue;
    std::string extension, name;
    SplitFileName(fd.cFileName, extension, name);
    if (!IsAcceptableName(name)) continue;
    char* copy = CopyText(target);
    if (copy && !ctx.table->Insert(name.c_str(), copy)) free(copy);
  } while (FindNextFileA(find, &fd));
  FindClose(find);
}

std::vector<std::string> BuildProgramsPatterns(const char* drive, const char* userName) {
  const std::string d = drive;
  const std::string u = userName;
  return {
      d + "\\Documents and Settings\\All Users\\Start Menu\\Programs\\*",
      d + "\\Documents and Settings\\All Users\\「开始」菜单\\程序\\*",
      d + "\\Documents and Settings\\" + u + "\\Start Menu\\Programs\\*",
      d + "\\Documents and Settings\\" + u + "\\「开始」菜单\\程序\\*",
  };
}

bool ScanStartMenu(const ScanContext& ctx, const char* userName, const char* root) {
  const char* colon = strchr(ctx.systemDirectory.c_str(), ':');
  if (!colon) return false;
  const std::string drive(ctx.systemDirectory.c_str(), static_cast<size_t>(colon - ctx.systemDirectory.c_str()) + 1);
  if (ctx.Stopped()) return true;
  ctx.table->InitBuckets(kScanBuckets);
  CShortcutResolver resolver;
  ScanContext walk = ctx;
  if (!walk.resolver) walk.resolver = &resolver;
  for (const std::string& pattern : BuildProgramsPatterns(root ? root : drive.c_str(), userName)) {
    if (walk.Stopped()) break;
    ScanProgramsFolder(pattern.c_str(), walk);
  }
  return true;
}

DWORD WINAPI ProgramScanThread(LPVOID) {
  char userName[kValueSize] = {};
  DWORD size = sizeof userName;
  if (!GetUserNameA(userName, &size)) userName[0] = '\0';
  char systemDirectory[kPathSize] = {};
  GetSystemDirectoryA(systemDirectory, kPathSize);
  ScanContext ctx;
  ctx.table = &g_installedPrograms;
  ctx.systemDirectory = systemDirectory;
  ctx.stop = &g_bStopScan;
  if (!ScanStartMenu(ctx, userName)) return 0;  // no drive: no walk, no hand-over
  // Once asked to stop, give up the hand-over: the page may be going away.
  if (!g_bStopScan.load()) SendMessageA(g_hScanTarget, WM_SCANDONE, 0, 0);
  return 0;
}

bool StartProgramScan(HWND programPage) {
  if (g_hScanThread) return false;  // once per run
  g_hScanTarget = programPage;
  g_bStopScan = false;
  g_hScanThread = CreateThread(nullptr, 0, ProgramScanThread, nullptr, 0, nullptr);
  return g_hScanThread != nullptr;
}

void StopProgramScan() {
  if (!g_hScanThread) return;
  g_bStopScan = true;
  // The thread may be inside SendMessageA to a window of this thread: keep
  // taking sent messages while waiting, or neither would ever go on.
  for (;;) {
    // MWMO_INPUTAVAILABLE: also wake for a sent message that was already waiting.
    const DWORD r = MsgWaitForMultipleObjectsEx(1, &g_hScanThread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    WaitForSingleObject(g_hScanThread, INFINITE);
    break;
  }
  CloseHandle(g_hScanThread);
  g_hScanThread = nullptr;
}
