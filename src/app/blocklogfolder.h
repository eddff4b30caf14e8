// The block log's folder, %ProgramData%\Mossgrave\log. The filter library
// adds a line there from every program on the computer, under every account;
// the control program, which runs elevated at each start, makes the folder
// with rights for that and deletes the files older than the keep time.
#pragma once
#include <string>

struct _SYSTEMTIME;

std::string BlockLogFolder();

// The folder's rights, as a security descriptor string.
extern const char kBlockLogFolderRights[];

// Makes the folder (and its parent) where missing, gives it its rights
// (users may read and add lines, not change or delete them), and deletes the
// daily files older than keepDays as of today. Answers the files deleted.
int PrepareBlockLogFolder(const std::string& folder, int keepDays, const _SYSTEMTIME& today);
