#include "settings/settings.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/msgbox.h"
#include "settings/globals.h"
#include "settings/passwordcheck.h"

namespace {
// The verified main text in a zero-filled buffer, or false.
bool ReadMainText(std::vector<char>& text) {
  char path[kPathSize] = {};
  if (!GetMainSettingsPath(path)) return false;
  text.assign(kSettingsCapacity, '\0');
  return ReadSettingsFile(path, text.data(), text.size());
}

bool ReadValue(const char* key, char value[kValueSize]) {
  std::vector<char> text;
  return ReadMainText(text) && FindSettingsValue(text.data(), key, value, kValueSize);
}

bool ReadFlag(const char* key) {
  char value[kValueSize] = {};
  return ReadValue(key, value) && ReadFlagValue(value);
}
}  // namespace

bool GetPassword(char password[kValueSize]) {
  char value[kValueSize] = {};
  if (!ReadValue(kKeyPassword, value)) return false;
  memcpy(password, value, kValueSize);
  return true;
}

void GetPasswordForSave(char password[kValueSize]) {
  if (!GetPassword(password)) strcpy(password, kFactoryPassword);
}

bool SetPassword(const char* newPassword) {
  // The same limits as for the plain value it used to be.
  if (strpbrk(newPassword, "\r\n") || strlen(newPassword) > kValueSize - 1) return false;
  std::vector<char> text;
  std::string value, updated;
  char path[kPathSize] = {};
  if (!ReadMainText(text) || !MakePasswordValue(newPassword, strlen(newPassword), &value) ||
      !ReplacePasswordInText(text.data(), value.c_str(), &updated) || !GetMainSettingsPath(path))
    return false;
  return WriteSettingsFile(path, updated.c_str());
}

bool IsLogEnabled() { return ReadFlag(kKeyEnableLog); }

int GetLogSaveDays() {
  char value[kValueSize] = {};
  return ReadValue(kKeyLogSaveTime, value) ? ParseLeadingInt(value) : 0;
}

bool IsAdultFilterEnabled() { return ReadFlag(kKeyEnableAdultFilter); }

int GetAdultFilterDegree() {
  char value[kValueSize] = {};
  return ReadValue(kKeyAdultFilterDegree, value) ? ReadDigitValue(value) : 0;
}

bool IsFlashFilterEnabled() { return ReadFlag(kKeyFlashFilter); }
bool IsPopupFilterEnabled() { return ReadFlag(kKeyPopupFilter); }
bool IsWebVideoFilterEnabled() { return ReadFlag(kKeyWebVideoFilter); }
bool IsProgramFilterEnabled() { return ReadFlag(kKeyEnableProgramFilter); }
bool IsProgramAllowList() { return ReadFlag(kKeyProgramFilterType); }
bool IsTimeLimitEnabled() { return ReadFlag(kKeyEnableTimeLimit); }

bool GetDayTime(const char* key, int& hour, int& minute, int& second) {
  hour = minute = second = 0;
  char value[kValueSize] = {};
  if (!ReadValue(key, value)) return false;
  ReadTimeValue(value, hour, minute, second);
  return true;
}

bool IsTalkToolLimited(const char* exeName) {
  std::vector<char> text;
  if (!ReadMainText(text)) return false;
  const std::string needle = std::string(kKeyTalkLimitName) + exeName;
  return strstr(text.data(), needle.c_str()) != nullptr;
}

void LoadListedProgramNames() {
  std::vector<char> text;
  if (!ReadMainText(text)) return;
  const char* base = text.data();
  const size_t keyLen = strlen(kKeyProgramName);
  for (const char* from = base;;) {
    const char* at = strstr(from, kKeyProgramName);
    if (!at || at == from) return;
    const char* end = strstr(at, "\r\n");
    if (!end) return;
    const char* start = at + keyLen;
    size_t len = static_cast<size_t>(end - start);
    if (len > kValueSize - 1) len = kValueSize - 1;
    const std::string name(start, len);
    g_chosenPrograms.Insert(name.c_str(), nullptr);  // a name already there stays once
    from = end;
  }
}

void EnsureSettingsFile() {
  char mainPath[kPathSize] = {}, backupPath[kPathSize] = {};
  if (!GetMainSettingsPath(mainPath) || !GetBackupSettingsPath(backupPath)) return;
  if (FileExists(mainPath)) return;
  if (FileExists(backupPath)) {
    CopyFileA(backupPath, mainPath, TRUE);
    return;
  }
  const std::string text = BuildDefaultSettingsText();
  WriteSettingsFile(mainPath, text.c_str());
  WriteSettingsFile(backupPath, text.c_str());
  AppMessageBox("初始密码是480273", MB_OK);
}

bool GetProgramDirectory(char dir[kPathSize]) {
  char module[kPathSize] = {};
  DWORD n = GetModuleFileNameA(nullptr, module, kPathSize);
  if (n == 0 || n >= kPathSize) return false;  // none, or cut short
  const char* slash = strrchr(module, '\\');
  if (!slash) return false;
  const size_t len = static_cast<size_t>(slash - module) + 1;
  memcpy(dir, module, len);
  dir[len] = '\0';
  return true;
}

bool GetUninstallerPath(char path[kPathSize]) {
  static const char kUninstaller[] = "unins000.exe";
  char dir[kPathSize] = {};
  if (!GetProgramDirectory(dir) || strlen(dir) + sizeof kUninstaller > kPathSize) return false;
  strcpy(path, dir);
  strcat(path, kUninstaller);
  return true;
}
