// The Start-menu scan: a worker thread walks the Programs folders of all
// users and of the current user, resolves the shortcuts in them and fills
// g_installedPrograms, then hands over to the program page with WM_SCANDONE.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

class CNameTable;

constexpr UINT WM_SCANDONE = WM_USER + 0x321;

// Starts the scan thread; programPage receives WM_SCANDONE (sent) when the
// walk is over. False when a scan runs already or the thread cannot start.
bool StartProgramScan(HWND programPage);
// Asks a running scan to stop and waits until its thread has ended, handling
// messages sent to this thread meanwhile (the scan may be handing over). After
// it returns the scan touches no table. Harmless when no scan runs.
void StopProgramScan();

DWORD WINAPI ProgramScanThread(LPVOID);

struct IShellLinkA;
struct IPersistFile;

// Resolves shortcuts with one shell link object, made on first use: making
// one for every shortcut costs far more than reading the shortcut.
class CShortcutResolver {
 public:
  CShortcutResolver() = default;
  ~CShortcutResolver();
  CShortcutResolver(const CShortcutResolver&) = delete;
  CShortcutResolver& operator=(const CShortcutResolver&) = delete;

  // As ResolveShortcut below.
  bool Resolve(const char* shortcutPath, char* target, int capacity);

 private:
  bool m_bCreated = false;
  IShellLinkA* m_link = nullptr;
  IPersistFile* m_file = nullptr;
};

// Where a walk puts its entries and what it compares targets with.
struct ScanContext {
  CNameTable* table = nullptr;
  CShortcutResolver* resolver = nullptr;      // none: one per shortcut
  std::string systemDirectory;                // its drive decides the Windows folder
  const std::atomic<bool>* stop = nullptr;    // set: insert nothing more
  bool Stopped() const { return stop && stop->load(); }
};

// The four Programs patterns for a drive (or any root) and a user name.
std::vector<std::string> BuildProgramsPatterns(const char* drive, const char* userName);

// The whole walk: the drive is taken from the system directory up to its
// first ':'; without one nothing is walked and false is returned, the table
// left untouched. Otherwise the table gets 1024 buckets and the four patterns
// are walked. root, when given, stands in for the drive (tests).
bool ScanStartMenu(const ScanContext& ctx, const char* userName, const char* root = nullptr);

// The find-first call the folder listing makes, FindFirstFileExA unless
// replaced (tests stand in for older systems); nullptr puts it back.
using FindFirstFileExFunc = HANDLE(WINAPI*)(LPCSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID, DWORD);
void SetFindFirstFileEx(FindFirstFileExFunc find);

// pattern: folder path followed by "\*".
void ScanProgramsFolder(const char* pattern, const ScanContext& ctx);
void ScanProgramSubfolder(const char* pattern, const char* folderName, const ScanContext& ctx);

// Splits at the last '.': extension (lower case) after it, base before it;
// without a '.', an empty extension and the whole name as base.
void SplitFileName(const char* name, std::string& extension, std::string& base);

// Fills target (capacity bytes) with the stored, unexpanded target path of a
// shell shortcut. False when the object cannot be created, loaded or read.
bool ResolveShortcut(const char* shortcutPath, char* target, int capacity);

// Whether path lies in "<drive>\windows\" of the system directory's drive,
// compared without regard to case, anywhere in the path.
bool IsUnderWindowsFolder(const char* path, const char* systemDirectory);
bool IsUnderWindowsFolder(const char* path);

// Whether a name or path can stand as a settings value: no CR or LF, and no
// ':' other than a drive colon as second character (a colon could start a
// key of its own for the readers of the file).
bool IsSafeSettingsValue(const char* text);
