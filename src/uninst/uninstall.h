// Removing an installation: the catalogue entries first, then the filter
// library, the settings files, the program folder's files, the Start-menu
// shortcut and the registry keys. Anything in use is removed at the next
// restart instead.
#pragma once
#include <string>
#include <vector>

// Names the setup program and the uninstaller agree on.
extern const char kProgramExeName[];    // "Mossgrave.exe"
extern const char kUninstallerName[];   // "unins000.exe"
extern const char kLibraryName[];       // "Quorvane.dll"
extern const char kProgramMutexName[];  // the running program's mutex, "Mossgrave"
extern const char kProductKey[];        // HKLM, 64-bit view: InstallDir
extern const char kUninstallKey[];      // HKLM, 64-bit view: Programs and Features

// What removal did with one path.
enum class Removal { kGone, kAtRestart, kFailed };

// Deletes a file; one that cannot be deleted now (in use) is renamed aside
// where possible and handed to the system for deletion at the next restart.
// A missing file counts as gone.
Removal RemoveFileNowOrAtRestart(const std::string& path);
// The same for an empty folder; a folder with files left in it is scheduled
// too, so it goes at restart after the files scheduled before it.
Removal RemoveFolderNowOrAtRestart(const std::string& path);

// The library's two copies: the system directory and, on 64-bit Windows,
// the 32-bit system directory.
std::vector<std::string> LibraryPaths();
// The Start-menu folder of all users that holds the shortcut, and the
// shortcut itself.
std::string ShortcutFolder();
std::string ShortcutPath();

// Ends a running instance of the program from programDir: asks its windows
// to close and waits, at most timeoutMs, until its mutex is gone. True when
// no instance runs any more.
bool EndRunningProgram(const std::string& programDir, unsigned timeoutMs);

struct RemovalReport {
  int atRestart = 0;  // paths left for the next restart
  int failed = 0;     // paths that could not even be scheduled
  bool entriesLeft = false;  // catalogue entries that would not go: their library is kept
};

// Everything but the uninstaller itself and the program folder, which only
// go once the uninstaller has ended (RemoveUninstallerAndFolder).
// programDir ends with a backslash.
RemovalReport RemoveInstallation(const std::string& programDir);

// The uninstaller and then the folder, but only when the program is already
// gone from it: so nobody can use this to remove a working installation.
RemovalReport RemoveUninstallerAndFolder(const std::string& programDir);
