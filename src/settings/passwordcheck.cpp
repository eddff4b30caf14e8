#include "settings/passwordcheck.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "settings/passwordhash.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"

namespace {
// bcrypt.dll from the system directory only, loaded once and kept.
struct Cng {
  using OpenFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
  using CloseFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
  using DeriveFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, PUCHAR, ULONG, ULONGLONG, PUCHAR,
                                     ULONG, ULONG);
  using RandomFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);
  OpenFn open = nullptr;
  CloseFn close = nullptr;
  DeriveFn derive = nullptr;
  RandomFn random = nullptr;

  Cng() {
    char path[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + sizeof "\\bcrypt.dll" > MAX_PATH) return;
    strcat(path, "\\bcrypt.dll");
    HMODULE dll = LoadLibraryA(path);
    if (!dll) return;
    open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(dll, "BCryptOpenAlgorithmProvider")));
    close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(dll, "BCryptCloseAlgorithmProvider")));
    derive = reinterpret_cast<DeriveFn>(reinterpret_cast<void*>(GetProcAddress(dll, "BCryptDeriveKeyPBKDF2")));
    random = reinterpret_cast<RandomFn>(reinterpret_cast<void*>(GetProcAddress(dll, "BCryptGenRandom")));
  }
  bool ok() const { return open && close && derive && random; }
};

const Cng& GetCng() {
  static const Cng cng;
  return cng;
}

// The text of path (verified, never restoring anything) with its password
// replaced by value.
bool ReplacedText(const char* path, const std::string& value, std::string* out) {
  std::vector<char> text(kSettingsCapacity, '\0');
  return ReadSettingsFileOnly(path, text.data(), text.size()) &&
         ReplacePasswordInText(text.data(), value.c_str(), out);
}

// Both files get the hash of a plain password that has just passed. The
// backup keeps its own other lines; one that cannot be read gets the main
// file's text.
void ConvertStoredPassword(const char* password) {
  std::string value, mainText, backupText;
  char mainPath[kPathSize] = {}, backupPath[kPathSize] = {};
  if (!MakePasswordValue(password, strlen(password), &value) || !GetMainSettingsPath(mainPath) ||
      !GetBackupSettingsPath(backupPath) || !ReplacedText(mainPath, value, &mainText))
    return;
  if (!WriteSettingsFile(mainPath, mainText.c_str())) return;
  if (!ReplacedText(backupPath, value, &backupText)) backupText = mainText;
  WriteSettingsFile(backupPath, backupText.c_str());
}
}  // namespace

bool DerivePasswordKey(const char* password, size_t n, const unsigned char* salt, size_t saltLen,
                       unsigned iterations, unsigned char* out, size_t outLen) {
  const Cng& cng = GetCng();
  if (!cng.ok() || n > 0xFFFFFFFFu || saltLen > 0xFFFFFFFFu || outLen > 0xFFFFFFFFu) return false;
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!BCRYPT_SUCCESS(cng.open(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
    return false;
  // The API takes non-const buffers; it only reads them.
  // One spare byte, so that an empty password still has a buffer.
  std::vector<unsigned char> pw(n + 1, 0), s(saltLen + 1, 0);
  memcpy(pw.data(), password, n);
  memcpy(s.data(), salt, saltLen);
  const NTSTATUS st = cng.derive(alg, pw.data(), static_cast<ULONG>(n), s.data(), static_cast<ULONG>(saltLen),
                                 iterations, out, static_cast<ULONG>(outLen), 0);
  SecureZeroMemory(pw.data(), pw.size());
  cng.close(alg, 0);
  return BCRYPT_SUCCESS(st);
}

bool MakePasswordValue(const char* password, size_t n, std::string* value) {
  const Cng& cng = GetCng();
  if (!cng.ok()) return false;
  PasswordHash h;
  h.iterations = kPasswordHashIterations;
  if (!BCRYPT_SUCCESS(cng.random(nullptr, h.salt, sizeof h.salt, BCRYPT_USE_SYSTEM_PREFERRED_RNG)) ||
      !DerivePasswordKey(password, n, h.salt, sizeof h.salt, h.iterations, h.hash, sizeof h.hash))
    return false;
  *value = FormatPasswordHash(h);
  return true;
}

PasswordMatch MatchStoredPassword(const char* entry, const char* stored) {
  PasswordHash h;
  if (ParsePasswordHash(stored, strlen(stored), &h)) {
    unsigned char got[kPasswordHashBytes];
    return DerivePasswordKey(entry, strlen(entry), h.salt, sizeof h.salt, h.iterations, got, sizeof got) &&
                   SameBytes(got, h.hash, sizeof got)
               ? PasswordMatch::kHash
               : PasswordMatch::kNo;
  }
  return strcmp(entry, stored) == 0 ? PasswordMatch::kPlain : PasswordMatch::kNo;
}

bool CheckPassword(const char* entry) {
  char stored[kValueSize] = {};
  if (!GetPassword(stored)) return strcmp(entry, kFactoryPassword) == 0;
  switch (MatchStoredPassword(entry, stored)) {
    case PasswordMatch::kHash:
      return true;
    case PasswordMatch::kPlain:
      ConvertStoredPassword(entry);
      return true;
    case PasswordMatch::kNo:
      break;
  }
  return false;
}

bool CheckOldPassword(const char* entry) {
  char stored[kValueSize] = {};
  GetPassword(stored);  // none found: the stored password counts as empty
  return MatchStoredPassword(entry, stored) != PasswordMatch::kNo;
}
