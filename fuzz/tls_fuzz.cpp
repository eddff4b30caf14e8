// The TLS ClientHello server name parser over any bytes.
#include <cstdint>
#include <cstring>

#include "filter/protocols.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char out[qv::kMaxHostLength + 1];
  const size_t n = qv::ParseTlsServerName(data, size, out);
  if (n > qv::kMaxHostLength || strlen(out) != n) __builtin_trap();
  return 0;
}
