// A value lookup over any unsealed text, with the file's keys and with keys
// made of the input itself.
#include <cstdint>
#include <cstring>
#include <string>

#include "settings/settingstext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxSettingsTextLength) size = kMaxSettingsTextLength;
  // The first byte says how much of the rest is a key of its own.
  size_t keyLen = size ? data[0] % 32 : 0;
  if (size) ++data, --size;
  if (keyLen > size) keyLen = size;
  const std::string key(reinterpret_cast<const char*>(data), keyLen);
  const std::string text(reinterpret_cast<const char*>(data) + keyLen, size - keyLen);

  char value[kValueSize];
  char tiny[2];
  const char* const keys[] = {key.c_str(), kKeyPassword, kKeyEnableLog, kKeyAdultFilterDegree,
                              kKeyProgramName, kKeyTalkLimitName, "\r", "\r\n", ""};
  for (const char* k : keys) {
    if (FindSettingsValue(text.c_str(), k, value, sizeof value)) {
      if (strlen(value) >= sizeof value) __builtin_trap();
      ReadFlagValue(value);
      ReadDigitValue(value);
    }
    FindSettingsValue(text.c_str(), k, tiny, sizeof tiny);
    FindSettingsValue(text.c_str(), k, tiny, 0);
  }
  std::string replaced;
  ReplacePasswordInText(text.c_str(), key.c_str(), &replaced);
  return 0;
}
