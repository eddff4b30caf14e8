// The time and number readers over any value a file can hold.
#include <cstdint>
#include <string>

#include "settings/settingstext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kValueSize - 1) size = kValueSize - 1;  // what a lookup hands over
  const std::string value(reinterpret_cast<const char*>(data), size);
  int h = -1, m = -1, s = -1;
  ReadTimeValue(value.c_str(), h, m, s);
  // Two characters each: no field can exceed 99 or go below -9.
  for (int v : {h, m, s})
    if (v < -9 || v > 99) __builtin_trap();
  ParseLeadingInt(value.c_str());
  return 0;
}
