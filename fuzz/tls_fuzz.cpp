// The TLS ClientHello server name parser over any bytes, and the host name
// check (vector and plain-integer forms) over the same bytes as a name.
#include <cstdint>
#include <cstring>

#include "filter/protocols.h"
#include "filter/textnorm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char out[qv::kMaxHostLength + 1];
  const size_t n = qv::ParseTlsServerName(data, size, out);
  if (n > qv::kMaxHostLength || strlen(out) != n) __builtin_trap();
  const char* name = reinterpret_cast<const char*>(data);
  char a[qv::kMaxHostLength + 1], b[qv::kMaxHostLength + 1];
  const size_t la = qv::NormalizeHost(name, size, a), lb = qv::NormalizeHostWords(name, size, b);
  if (la != lb || a[0] != b[0] || memcmp(a, b, la) != 0 || (la && (a[la] != '\0' || b[lb] != '\0'))) __builtin_trap();
  return 0;
}
