// A stored settings file as anyone with write access to it may leave it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/settingstext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kSettingsCapacity) size = kSettingsCapacity;
  // Exactly the input's bytes, so a read past them is caught.
  std::vector<char> bytes(data, data + size);
  // Both a roomy and a small caller buffer.
  static char out[kSettingsCapacity];
  UnsealSettingsBytes(bytes.data(), bytes.size(), out, sizeof out);
  char small[64];
  UnsealSettingsBytes(bytes.data(), bytes.size(), small, sizeof small);
  // A value lookup over whatever came out.
  if (UnsealSettingsBytes(bytes.data(), bytes.size(), out, sizeof out) != UnsealResult::kTooShort) {
    char value[kValueSize];
    for (int i = 0; i < kTimeKeyCount; ++i) {
      if (FindSettingsValue(out, kTimeKeys[i], value, sizeof value)) {
        int h, m, s;
        ReadTimeValue(value, h, m, s);
      }
    }
    if (FindSettingsValue(out, kKeyLogSaveTime, value, sizeof value)) ParseLeadingInt(value);
  }
  return 0;
}
