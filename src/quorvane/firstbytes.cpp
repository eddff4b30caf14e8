#include "quorvane/firstbytes.h"

namespace quorvane {

bool CutShort(const uint8_t* p, size_t n) {
  if (!p || n == 0) return false;
  if (p[0] == 22) {  // a TLS handshake record: its length is in its header
    if (n < 5) return true;
    return n < 5 + ((static_cast<size_t>(p[3]) << 8) | p[4]);
  }
  // An HTTP request: a method of capital letters and a space, and no blank line yet.
  size_t i = 0;
  while (i < n && i < 16 && p[i] >= 'A' && p[i] <= 'Z') ++i;
  if (i == 0 || i == 16 || (i < n && p[i] != ' ')) return false;
  for (size_t k = 0; k + 3 < n; ++k)
    if (p[k] == '\r' && p[k + 1] == '\n' && p[k + 2] == '\r' && p[k + 3] == '\n') return false;
  return true;
}

bool StartsRequest(const uint8_t* p, size_t n) {
  if (!p) return false;
  size_t i = 0;
  while (i < n && i < 16 && p[i] >= 'A' && p[i] <= 'Z') ++i;
  if (i < 3 || i == 16 || i + 1 >= n || p[i] != ' ') return false;
  const uint8_t t = p[i + 1];
  return t == '/' || t == '*' || (t >= 'a' && t <= 'z') || (t >= 'A' && t <= 'Z');
}

}  // namespace quorvane
