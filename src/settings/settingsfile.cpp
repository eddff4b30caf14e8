#include "settings/settingsfile.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
bool BuildSystemPath(const char* tail, char path[kPathSize]) {
  char dir[kPathSize] = {};
  UINT n = GetSystemDirectoryA(dir, kPathSize);
  if (n == 0 || n >= kPathSize) return false;
  int len = snprintf(path, kPathSize, "%s%s", dir, tail);
  return len > 0 && static_cast<size_t>(len) < kPathSize;
}

enum class ReadResult { kOk, kUnreadable, kDamaged };

ReadResult ReadOnce(const char* path, char* buf, size_t capacity) {
  FILE* f = fopen(path, "rb");
  if (!f) return ReadResult::kUnreadable;
  std::vector<char> raw(kSettingsCapacity);
  size_t n = fread(raw.data(), 1, raw.size(), f);
  fclose(f);
  switch (UnsealSettingsBytes(raw.data(), n, buf, capacity)) {
    case UnsealResult::kOk: return ReadResult::kOk;
    case UnsealResult::kMismatch: return ReadResult::kDamaged;
    case UnsealResult::kTooShort:
    case UnsealResult::kNoRoom: break;
  }
  return ReadResult::kUnreadable;
}
}  // namespace

bool GetMainSettingsPath(char path[kPathSize]) { return BuildSystemPath("\\nf.cfg", path); }

bool GetBackupSettingsPath(char path[kPathSize]) {
  return BuildSystemPath("\\drivers\\spinf.sys", path);
}

bool WriteSettingsFile(const char* path, const char* text) {
  std::string sealed;
  if (!SealSettingsText(text, &sealed)) return false;
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  size_t written = fwrite(sealed.data(), 1, sealed.size(), f);
  bool closed = fclose(f) == 0;
  return written == sealed.size() && closed;
}

bool ReadSettingsFile(const char* path, char* buf, size_t capacity) {
  for (bool restored = false;; restored = true) {
    ReadResult r = ReadOnce(path, buf, capacity);
    if (r == ReadResult::kOk) return true;
    if (r == ReadResult::kUnreadable || restored) return false;
    // Damaged: the backup replaces the main file, sound or not.
    char mainPath[kPathSize] = {}, backupPath[kPathSize] = {};
    if (GetMainSettingsPath(mainPath) && GetBackupSettingsPath(backupPath))
      CopyFileA(backupPath, mainPath, FALSE);
  }
}

bool FileExists(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

void DeleteSettingsFiles() {
  char path[kPathSize] = {};
  if (GetMainSettingsPath(path)) DeleteFileA(path);
  if (GetBackupSettingsPath(path)) DeleteFileA(path);
}
