// The settings file and its backup on disk: main file "nf.cfg" in the system
// directory, backup "drivers\spinf.sys" below it. Each call works on the
// whole file; nothing is cached.
#pragma once
#include <cstddef>

#include "settings/settingstext.h"

// The two paths, built from the system directory at every call. False when
// the system directory is unknown or the path does not fit in kPathSize.
bool GetMainSettingsPath(char path[kPathSize]);
bool GetBackupSettingsPath(char path[kPathSize]);

// Scrambles, seals and writes text. False when the file cannot be created,
// or when the text could not be read back (too long, or a checksum that does
// not fit its eight characters); then the file on disk is left as it was.
bool WriteSettingsFile(const char* path, const char* text);

// Reads and verifies a settings file into buf (capacity bytes; callers pass
// kSettingsCapacity). On a checksum mismatch the backup is copied over the
// main file once and the read is tried again.
bool ReadSettingsFile(const char* path, char* buf, size_t capacity);

bool FileExists(const char* path);

// Removes the main file and the backup; failures are ignored.
void DeleteSettingsFiles();
