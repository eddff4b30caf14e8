// The program list read from any unsealed text.
#include <cstdint>
#include <string>

#include "settings/listedprograms.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxSettingsTextLength) size = kMaxSettingsTextLength;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const ProgramEntry& e : ParseListedPrograms(text.c_str())) {
    // Cut as promised, and never holding a line end.
    if (e.name.size() > kValueSize - 1 || e.path.size() > kPathSize - 1) __builtin_trap();
    if (e.name.find("\r\n") != std::string::npos || e.path.find("\r\n") != std::string::npos) __builtin_trap();
  }
  return 0;
}
