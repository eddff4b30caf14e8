// The prefix's real settings files, as the tests set them up and read them.
#pragma once
#include <string>

std::string MainSettingsPath();
std::string BackupSettingsPath();

// Seals the text into both files; false when either write fails.
bool StoreSettingsText(const std::string& text);
// The default settings with this password, in both files.
bool StoreDefaultsWithPassword(const std::string& password);
