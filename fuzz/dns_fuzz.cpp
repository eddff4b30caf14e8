// The DNS query name parser over any bytes, with and without the TCP prefix.
#include <cstdint>
#include <cstring>

#include "filter/protocols.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char out[qv::kMaxHostLength + 1];
  for (bool tcp : {false, true}) {
    const size_t n = qv::ParseDnsQueryName(data, size, tcp, out);
    if (n > qv::kMaxHostLength || strlen(out) != n) __builtin_trap();
  }
  return 0;
}
