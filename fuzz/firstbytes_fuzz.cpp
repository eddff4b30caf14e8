// The layer's tests for first bytes cut short and for a later send that
// begins a request, over any bytes.
#include <cstdint>
#include <cstring>

#include "quorvane/firstbytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool cut = quorvane::CutShort(data, size);
  // A whole TLS record is not cut short.
  if (size >= 5 && data[0] == 22 && size >= 5 + ((static_cast<size_t>(data[3]) << 8) | data[4]) && cut)
    __builtin_trap();
  // Nor is a request with its blank line.
  if (size > 0 && data[0] != 22 && cut) {
    for (size_t k = 0; k + 3 < size; ++k)
      if (memcmp(data + k, "\r\n\r\n", 4) == 0) __builtin_trap();
  }
  // A request begins with a method of capital letters and a space.
  if (quorvane::StartsRequest(data, size)) {
    const void* space = memchr(data, ' ', size < 16 ? size : 16);
    if (!space || data[0] < 'A' || data[0] > 'Z') __builtin_trap();
  }
  return 0;
}
