// The block log's folder as the control program prepares it at each start.
#include "app/blocklogfolder.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  CloseHandle(h);
}

std::string FreshFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "mglogtest" + std::to_string(GetCurrentProcessId());
  return base;
}

TEST(BlockLogFolder, MadeWhereMissingAndRidOfFilesPastTheKeepTime) {
  const std::string base = FreshFolder();
  const std::string folder = base + "\\log";
  SYSTEMTIME today = {};
  today.wYear = 2026;
  today.wMonth = 3;
  today.wDay = 2;
  EXPECT_EQ(PrepareBlockLogFolder(folder, 3, today), 0) << "nothing there yet";
  ASSERT_TRUE(Exists(folder)) << "made with its parent";

  const struct {
    const char* name;
    bool kept;
  } files[] = {
      {"mossgrave-20260302.log", true},   // today
      {"mossgrave-20260228.log", true},   // the third day kept (across the month's end)
      {"mossgrave-20260227.log", false},  // four days old
      {"mossgrave-20250302.log", false},  // a year old
      {"mossgrave-2026032.log", true},    // not a name of the log's own
      {"notes.txt", true},
  };
  for (const auto& f : files) Touch(folder + "\\" + f.name);
  EXPECT_EQ(PrepareBlockLogFolder(folder, 3, today), 2);
  for (const auto& f : files) EXPECT_EQ(Exists(folder + "\\" + f.name), f.kept) << f.name;

  for (const auto& f : files) DeleteFileA((folder + "\\" + f.name).c_str());
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(base.c_str());
}

// Users may read the log and add to it, never change or delete it: what
// the child's own blocks wrote stays for the parent to read.
TEST(BlockLogFolder, RightsLetUsersAddLinesOnly) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(kBlockLogFolderRights, SDDL_REVISION_1, &sd,
                                                                   nullptr));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "no rights inherited from the parent folder";
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);

  BYTE usersSid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof usersSid;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid, &size));
  const DWORD forbidden = DELETE | WRITE_DAC | WRITE_OWNER | FILE_WRITE_DATA | FILE_DELETE_CHILD | GENERIC_ALL |
                          GENERIC_WRITE;
  bool foldersAdd = false, filesAppend = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    if (!EqualSid(&ace->SidStart, usersSid)) continue;
    const bool onFiles = ace->Header.AceFlags & INHERIT_ONLY_ACE;
    if (onFiles) {
      EXPECT_EQ(ace->Mask & forbidden, 0u) << std::hex << ace->Mask;
      filesAppend = filesAppend || (ace->Mask & FILE_APPEND_DATA);
    } else {
      EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), 0) << "the folder's own";
      EXPECT_EQ(ace->Mask & (forbidden & ~FILE_WRITE_DATA), 0u) << std::hex << ace->Mask;
      foldersAdd = foldersAdd || (ace->Mask & FILE_ADD_FILE);
    }
  }
  EXPECT_TRUE(foldersAdd) << "users add the day's file";
  EXPECT_TRUE(filesAppend) << "users add lines";
  LocalFree(sd);
}

}  // namespace
