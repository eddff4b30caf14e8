// The settings text and its stored form, as plain functions over plain data.
// Nothing here touches a file or a window; settingsfile.h does the I/O.
#pragma once
#include <cstddef>
#include <string>

// Buffers of the stored format. The filter library reads the same layout.
constexpr size_t kSettingsCapacity = 102400;  // whole file, text plus checksum
constexpr size_t kChecksumLength = 8;
constexpr size_t kMaxSettingsTextLength = kSettingsCapacity - kChecksumLength;  // 102,392
constexpr size_t kMinSettingsFileLength = 10;
constexpr size_t kValueSize = 256;  // one value, NUL included
constexpr size_t kPathSize = 260;

extern const char kScrambleKey[];     // "fenwa"
extern const char kFactoryPassword[];  // "480273", the password of a new installation

// Settings keys, exactly as they stand in the file.
extern const char kKeyPassword[];
extern const char kKeyEnableLog[];
extern const char kKeyLogSaveTime[];
extern const char kKeyEnableAdultFilter[];
extern const char kKeyAdultFilterDegree[];
extern const char kKeyFlashFilter[];
extern const char kKeyPopupFilter[];
extern const char kKeyWebVideoFilter[];
extern const char kKeyEnableProgramFilter[];
extern const char kKeyProgramFilterType[];
extern const char kKeyProgramList[];
extern const char kKeyProgramName[];
extern const char kKeyProgramPath[];
extern const char kKeyTalkLimitName[];
extern const char kKeyEnableTimeLimit[];
extern const char kKeyInstallDate[];
extern const char kKeyPortList[];

// The 14 time keys, Monday to Sunday, start before end.
constexpr int kTimeKeyCount = 14;
extern const char* const kTimeKeys[kTimeKeyCount];

// XORs len bytes with the key, the key position starting at 0.
void XorScramble(char* buf, const char* key, size_t len);

// Signed byte sum of len bytes, wrapping like a 32-bit int.
int SettingsChecksum(const char* text, size_t len);

// Stored form of text: scrambled text, then "%08d" of its checksum.
// Refuses (false, *sealed untouched) a text that could not be read back:
// longer than kMaxSettingsTextLength, or a checksum needing more than 8 chars.
bool SealSettingsText(const char* text, std::string* sealed);

enum class UnsealResult {
  kOk,         // checksum matched
  kTooShort,   // fewer than 10 bytes: unreadable, no restore
  kMismatch,   // damaged: a restore may help
  kNoRoom,     // the caller's buffer cannot hold the text
};

// Unscrambles and verifies the first n bytes of a stored file (callers pass
// at most kSettingsCapacity). On kOk and kMismatch, out holds the text up to
// its first NUL, NUL-terminated.
UnsealResult UnsealSettingsBytes(const char* bytes, size_t n, char* out, size_t outSize);

// atoi rules, but saturating instead of overflowing.
int ParseLeadingInt(const char* s);

// Finds the first occurrence of key anywhere in text and copies what lies
// between it and the next CR LF into value (cut to valueSize - 1 bytes).
// False, value untouched, when the key or the CR LF is missing.
bool FindSettingsValue(const char* text, const char* key, char* value, size_t valueSize);

// Readings of a value by kind.
bool ReadFlagValue(const char* value);   // first char '1'
int ReadDigitValue(const char* value);   // first char as a digit, else 0
void ReadTimeValue(const char* value, int& hour, int& minute, int& second);

// The 26-line file of a new installation.
std::string BuildDefaultSettingsText();

// The text with the value of the first "Password:" replaced. False when the
// key or the CR LF after it is missing, or the new password would break the
// line (CR or LF in it) or not read back whole (over 255 bytes).
bool ReplacePasswordInText(const char* text, const char* newPassword, std::string* out);
