#include "settings/settingstext.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

const char kScrambleKey[] = "fenwa";
const char kFactoryPassword[] = "480273";

const char kKeyPassword[] = "Password:";
const char kKeyEnableLog[] = "Enable log:";
const char kKeyLogSaveTime[] = "Log save time:";
const char kKeyEnableAdultFilter[] = "Enable adult filter:";
const char kKeyAdultFilterDegree[] = "Adult filter degree:";
const char kKeyFlashFilter[] = "Flash Window filter:";
const char kKeyPopupFilter[] = "Open Window filter:";
const char kKeyWebVideoFilter[] = "Web Video filter:";
const char kKeyEnableProgramFilter[] = "Enable program filter:";
const char kKeyProgramFilterType[] = "Program filter type:";
const char kKeyProgramList[] = "Program list:";
const char kKeyProgramName[] = "program name:";
const char kKeyProgramPath[] = "program path:";
const char kKeyTalkLimitName[] = "Talk limit name:";
const char kKeyEnableTimeLimit[] = "Enable time limit:";
const char kKeyInstallDate[] = "install date:";
const char kKeyPortList[] = "Port list:";

const char* const kTimeKeys[kTimeKeyCount] = {
    "MonStartTime:", "MonEndTime:", "TueStartTime:", "TueEndTime:", "WedStartTime:",
    "WedEndTime:",   "ThuStartTime:", "ThuEndTime:", "FriStartTime:", "FriEndTime:",
    "SatStartTime:", "SatEndTime:", "SunStartTime:", "SunEndTime:"};

void XorScramble(char* buf, const char* key, size_t len) {
  const size_t keyLen = strlen(key);
  if (keyLen == 0) return;
  for (size_t i = 0; i < len; ++i) buf[i] = static_cast<char>(buf[i] ^ key[i % keyLen]);
}

int SettingsChecksum(const char* text, size_t len) {
  // Accumulate unsigned so the wrap is defined; the result is the int it stands for.
  unsigned sum = 0;
  for (size_t i = 0; i < len; ++i)
    sum += static_cast<unsigned>(static_cast<int>(static_cast<signed char>(text[i])));
  return static_cast<int>(sum);
}

bool SealSettingsText(const char* text, std::string* sealed) {
  const size_t len = strlen(text);
  if (len > kMaxSettingsTextLength) return false;
  char checksum[32];
  int width = snprintf(checksum, sizeof checksum, "%08d", SettingsChecksum(text, len));
  // A ninth character would be dropped and the file would never verify.
  if (width != static_cast<int>(kChecksumLength)) return false;
  std::string out(text, len);
  XorScramble(&out[0], kScrambleKey, len);
  out.append(checksum, kChecksumLength);
  *sealed = std::move(out);
  return true;
}

UnsealResult UnsealSettingsBytes(const char* bytes, size_t n, char* out, size_t outSize) {
  if (n < kMinSettingsFileLength) return UnsealResult::kTooShort;
  if (n > kSettingsCapacity) n = kSettingsCapacity;
  const size_t textLen = n - kChecksumLength;
  std::vector<char> work(textLen + 1, '\0');
  memcpy(work.data(), bytes, textLen);
  XorScramble(work.data(), kScrambleKey, textLen);
  char field[kChecksumLength + 1] = {};
  memcpy(field, bytes + textLen, kChecksumLength);

  const size_t len = strlen(work.data());  // a NUL byte ends the text early
  if (len + 1 > outSize) return UnsealResult::kNoRoom;
  memcpy(out, work.data(), len + 1);
  return SettingsChecksum(work.data(), len) == ParseLeadingInt(field) ? UnsealResult::kOk
                                                                      : UnsealResult::kMismatch;
}

int ParseLeadingInt(const char* s) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-v < INT_MIN ? INT_MIN : -v);
  return static_cast<int>(v > INT_MAX ? INT_MAX : v);
}

bool FindSettingsValue(const char* text, const char* key, char* value, size_t valueSize) {
  if (valueSize == 0) return false;
  const char* at = strstr(text, key);
  if (!at) return false;
  const char* end = strstr(at, "\r\n");
  if (!end) return false;
  const char* start = at + strlen(key);
  // The key may itself hold the CR LF's bytes only if it ends in CR; then the
  // value is empty rather than negative in length.
  size_t len = end > start ? static_cast<size_t>(end - start) : 0;
  if (len > valueSize - 1) len = valueSize - 1;
  memcpy(value, start, len);
  value[len] = '\0';
  return true;
}

bool ReadFlagValue(const char* value) { return value[0] == '1'; }

int ReadDigitValue(const char* value) {
  return value[0] >= '0' && value[0] <= '9' ? value[0] - '0' : 0;
}

namespace {
// The number in the two characters at pos, or 0 when the value ends before pos.
int TwoCharField(const char* value, size_t len, size_t pos) {
  if (pos >= len) return 0;
  char field[3] = {value[pos], pos + 1 < len ? value[pos + 1] : '\0', '\0'};
  return ParseLeadingInt(field);
}
}  // namespace

void ReadTimeValue(const char* value, int& hour, int& minute, int& second) {
  const size_t len = strlen(value);
  hour = TwoCharField(value, len, 0);
  minute = TwoCharField(value, len, 3);
  second = TwoCharField(value, len, 6);
}

std::string BuildDefaultSettingsText() {
  std::string t;
  auto line = [&t](const char* key, const char* value) {
    t += key;
    t += value;
    t += "\r\n";
  };
  line(kKeyPassword, kFactoryPassword);
  line(kKeyEnableLog, "0");
  line(kKeyLogSaveTime, "3");
  line(kKeyEnableAdultFilter, "0");
  line(kKeyAdultFilterDegree, "1");
  line(kKeyFlashFilter, "0");
  line(kKeyPopupFilter, "0");
  line(kKeyPortList, "");
  line(kKeyEnableProgramFilter, "0");
  line(kKeyProgramFilterType, "0");
  line(kKeyProgramList, "");
  line(kKeyEnableTimeLimit, "0");
  for (int i = 0; i < kTimeKeyCount; ++i) line(kTimeKeys[i], i % 2 == 0 ? "00:00:00" : "23:59:59");
  return t;
}

bool ReplacePasswordInText(const char* text, const char* newPassword, std::string* out) {
  if (strpbrk(newPassword, "\r\n") || strlen(newPassword) > kValueSize - 1) return false;
  const char* at = strstr(text, kKeyPassword);
  if (!at) return false;
  const char* valueStart = at + strlen(kKeyPassword);
  const char* end = strstr(at, "\r\n");
  if (!end) return false;
  std::string t(text, valueStart);
  t += newPassword;
  t += end;
  *out = std::move(t);
  return true;
}
