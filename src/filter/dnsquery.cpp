#include "filter/protocols.h"

namespace qv {

size_t ParseDnsQueryName(const uint8_t* data, size_t n, bool overTcp, char out[kMaxHostLength + 1]) {
  out[0] = '\0';
  if (!data) return 0;
  if (overTcp) {
    if (n < 2) return 0;
    const size_t declared = (size_t{data[0]} << 8) | data[1];
    data += 2;
    n -= 2;
    if (declared < n) n = declared;  // bytes after the first message are not its own
  }
  constexpr size_t kHeader = 12;
  if (n < kHeader + 1) return 0;
  const bool response = (data[2] & 0x80) != 0;
  const unsigned opcode = (data[2] >> 3) & 0x0F;
  const unsigned questions = (unsigned{data[4]} << 8) | data[5];
  if (response || opcode != 0 || questions == 0) return 0;

  // Labels into a dotted name; a query's name has no compression pointers.
  char name[kMaxHostLength + 1];
  size_t len = 0;
  size_t p = kHeader;
  for (;;) {
    if (p >= n) return 0;
    const size_t label = data[p++];
    if (label == 0) break;
    if (label > 63) return 0;  // pointer or reserved label type
    if (label > n - p) return 0;
    if (len + (len ? 1 : 0) + label > kMaxHostLength) return 0;
    if (len) name[len++] = '.';
    for (size_t i = 0; i < label; ++i) {
      const char c = static_cast<char>(data[p + i]);
      if (c == '.' || c == '\0') return 0;  // a label holding a dot would shift the name's parts
      name[len++] = c;
    }
    p += label;
  }
  if (len == 0) return 0;
  return NormalizeHost(name, len, out);
}

}  // namespace qv
