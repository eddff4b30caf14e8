#include "settingsfiles.h"

#include "settings/settingsfile.h"
#include "settings/settingstext.h"

std::string MainSettingsPath() {
  char p[kPathSize] = {};
  GetMainSettingsPath(p);
  return p;
}

std::string BackupSettingsPath() {
  char p[kPathSize] = {};
  GetBackupSettingsPath(p);
  return p;
}

bool StoreSettingsText(const std::string& text) {
  const bool main = WriteSettingsFile(MainSettingsPath().c_str(), text.c_str());
  const bool backup = WriteSettingsFile(BackupSettingsPath().c_str(), text.c_str());
  return main && backup;
}

bool StoreDefaultsWithPassword(const std::string& password) {
  std::string text;
  return ReplacePasswordInText(BuildDefaultSettingsText().c_str(), password.c_str(), &text) &&
         StoreSettingsText(text);
}
