// Checking an entered password against the stored one, and storing a new
// one, as a salted PBKDF2-HMAC-SHA256 hash from the system's bcrypt.dll.
// Hashing takes about 50 ms: only the prompt, the password page and an
// uninstaller call these, never an accessor.
#pragma once
#include <cstddef>
#include <string>

// PBKDF2-HMAC-SHA256 of the n bytes of password into outLen bytes.
bool DerivePasswordKey(const char* password, size_t n, const unsigned char* salt, size_t saltLen,
                       unsigned iterations, unsigned char* out, size_t outLen);

// The value a new password is stored as (FormatPasswordHash with a fresh
// random salt). False when the system cannot hash; nothing is stored then.
bool MakePasswordValue(const char* password, size_t n, std::string* value);

enum class PasswordMatch { kNo, kHash, kPlain };
// entry against a stored "Password:" value: a hash value by hashing entry
// with its salt and count, any other value as a plain password from an older
// file, byte for byte.
PasswordMatch MatchStoredPassword(const char* entry, const char* stored);

// The check of the prompt (and of anything else that guards the settings):
// entry must be the stored password, whole; when no settings file can be
// read, only the factory password passes. A plain stored password that
// passes is replaced by its hash in both files.
bool CheckPassword(const char* entry);

// The old-password check of the password page: as CheckPassword, but when no
// settings file can be read the stored password counts as empty.
bool CheckOldPassword(const char* entry);
