#include "app/blocklogfolder.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "filter/blocklog.h"

// System and administrators: everything. Users: on the folder, read and add
// files; on the files, read and append. OW (the owner's own rights) keeps a
// user who made a file from changing its rights to delete it; systems
// without that SID get the rest.
const char kBlockLogFolderRights[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;0x12008d;;;BU)(A;OIIO;0x12008d;;;OW)";

namespace {

const char kRightsWithoutOwner[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;0x12008d;;;BU)";

bool SetRights(const std::string& folder) {
  for (const char* sddl : {kBlockLogFolderRights, kRightsWithoutOwner}) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr)) continue;
    const BOOL ok = SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    if (ok) return true;
  }
  return false;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

}  // namespace

std::string BlockLogFolder() {
  char base[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("ProgramData", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = GetEnvironmentVariableA("ALLUSERSPROFILE", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  return std::string(base, n) + "\\" + qv::BlockLog::kFolderUnderProgramData;
}

int PrepareBlockLogFolder(const std::string& folder, int keepDays, const SYSTEMTIME& today) {
  if (folder.empty()) return 0;
  const size_t slash = folder.find_last_of('\\');
  if (slash != std::string::npos) CreateDirectoryA(folder.substr(0, slash).c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  SetRights(folder);

  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\mossgrave-*.log").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  qv::LocalTime t;
  t.year = today.wYear;
  t.month = today.wMonth;
  t.day = today.wDay;
  t.weekday = today.wDayOfWeek;
  return qv::BlockLog::DeleteExpired(folder, names, t, keepDays, &RemoveFile);
}
