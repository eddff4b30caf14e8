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

long long g_writeBudget = -1;  // bytes the test seam still lets through

// All n bytes, or false where the seam cuts the write off.
bool WriteAll(HANDLE h, const char* data, size_t n) {
  size_t allowed = n;
  if (g_writeBudget >= 0 && static_cast<unsigned long long>(g_writeBudget) < n)
    allowed = static_cast<size_t>(g_writeBudget);
  size_t done = 0;
  while (done < allowed) {
    const DWORD chunk = static_cast<DWORD>(allowed - done < (1u << 20) ? allowed - done : (1u << 20));
    DWORD wrote = 0;
    if (!WriteFile(h, data + done, chunk, &wrote, nullptr) || wrote == 0) break;
    done += wrote;
  }
  if (g_writeBudget >= 0) g_writeBudget -= static_cast<long long>(done);
  return done == n;
}

// The folder part of path, with its backslash (".\\" when it has none).
std::string FolderOf(const char* path) {
  const char* slash = strrchr(path, '\\');
  return slash ? std::string(path, slash + 1) : std::string(".\\");
}

enum class TempResult { kWritten, kNotCreated, kWriteFailed };

// Writes the bytes to a fresh temporary file in path's folder and flushes
// them. No file is left unless it is kWritten.
TempResult WriteTemporary(const char* path, const char* bytes, size_t n, char tmp[MAX_PATH]) {
  if (!GetTempFileNameA(FolderOf(path).c_str(), "mgs", 0, tmp)) return TempResult::kNotCreated;
  HANDLE h = CreateFileA(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileA(tmp);
    return TempResult::kNotCreated;
  }
  const bool ok = WriteAll(h, bytes, n) && FlushFileBuffers(h);
  CloseHandle(h);
  if (ok) return TempResult::kWritten;
  DeleteFileA(tmp);
  return TempResult::kWriteFailed;
}

// Puts tmp in path's place. A reader holding path open makes the replace
// fail for as long as it reads, so it is retried for a short while.
bool MoveIntoPlace(const char* tmp, const char* path) {
  for (int attempt = 0; attempt < 60; ++attempt) {
    if (MoveFileExA(tmp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    Sleep(attempt < 20 ? 1 : 10);  // about half a second in all
  }
  return false;
}

// The old way: the file itself rewritten, for when it cannot be replaced.
bool WriteInPlace(const char* path, const char* bytes, size_t n) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(h, bytes, n) && SetEndOfFile(h);
  ok = FlushFileBuffers(h) && ok;
  CloseHandle(h);
  return ok;
}

// The first kSettingsCapacity bytes of a file, all a read ever looks at.
bool ReadFilePrefix(const char* path, std::string* bytes) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  bytes->assign(kSettingsCapacity, '\0');
  bytes->resize(fread(&(*bytes)[0], 1, bytes->size(), f));
  fclose(f);
  return true;
}
}  // namespace

bool GetMainSettingsPath(char path[kPathSize]) { return BuildSystemPath("\\nf.cfg", path); }

bool GetBackupSettingsPath(char path[kPathSize]) {
  return BuildSystemPath("\\drivers\\spinf.sys", path);
}

void SetWriteCutAfterBytes(long long bytes) { g_writeBudget = bytes < 0 ? -1 : bytes; }

bool ReplaceFileBytes(const char* path, const char* bytes, size_t n) {
  char tmp[MAX_PATH] = {};
  switch (WriteTemporary(path, bytes, n, tmp)) {
    case TempResult::kWritten:
      if (MoveIntoPlace(tmp, path)) return true;
      DeleteFileA(tmp);
      break;
    case TempResult::kNotCreated:
      break;
    case TempResult::kWriteFailed:
      return false;  // the same write in place would only damage the old file
  }
  return WriteInPlace(path, bytes, n);
}

bool WriteSettingsFile(const char* path, const char* text) {
  std::string sealed;
  if (!SealSettingsText(text, &sealed)) return false;
  return ReplaceFileBytes(path, sealed.data(), sealed.size());
}

bool ReadSettingsFile(const char* path, char* buf, size_t capacity) {
  for (bool restored = false;; restored = true) {
    ReadResult r = ReadOnce(path, buf, capacity);
    if (r == ReadResult::kOk) return true;
    if (r == ReadResult::kUnreadable || restored) return false;
    // Damaged: the backup replaces the main file, sound or not, as a whole,
    // so a reader never sees it half restored.
    char mainPath[kPathSize] = {}, backupPath[kPathSize] = {};
    std::string bytes;
    if (GetMainSettingsPath(mainPath) && GetBackupSettingsPath(backupPath) &&
        ReadFilePrefix(backupPath, &bytes))
      ReplaceFileBytes(mainPath, bytes.data(), bytes.size());
  }
}

bool ReadSettingsFileOnly(const char* path, char* buf, size_t capacity) {
  return ReadOnce(path, buf, capacity) == ReadResult::kOk;
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
