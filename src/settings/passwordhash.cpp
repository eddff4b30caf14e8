#include "settings/passwordhash.h"

#include <cstring>

const char kPasswordHashMarker[] = "$pbkdf2-sha256$";

namespace {
const char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string& out, const unsigned char* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out += kHexDigits[bytes[i] >> 4];
    out += kHexDigits[bytes[i] & 0xF];
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Exactly 2 * n lower-case hex digits at p, ending at end.
bool ReadHex(const char* p, const char* end, unsigned char* out, size_t n) {
  if (static_cast<size_t>(end - p) != 2 * n) return false;
  for (size_t i = 0; i < n; ++i) {
    const int hi = HexValue(p[2 * i]), lo = HexValue(p[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<unsigned char>(hi << 4 | lo);
  }
  return true;
}

const char* FindDollar(const char* p, const char* end) {
  const void* at = memchr(p, '$', static_cast<size_t>(end - p));
  return at ? static_cast<const char*>(at) : nullptr;
}
}  // namespace

std::string FormatPasswordHash(const PasswordHash& h) {
  std::string out = kPasswordHashMarker;
  out += std::to_string(h.iterations);
  out += '$';
  AppendHex(out, h.salt, kPasswordSaltBytes);
  out += '$';
  AppendHex(out, h.hash, kPasswordHashBytes);
  return out;
}

bool ParsePasswordHash(const char* value, size_t n, PasswordHash* out) {
  const size_t markerLen = sizeof kPasswordHashMarker - 1;
  if (n < markerLen || memcmp(value, kPasswordHashMarker, markerLen) != 0) return false;
  const char* p = value + markerLen;
  const char* end = value + n;

  const char* dollar = FindDollar(p, end);
  if (!dollar || dollar == p || *p == '0' || dollar - p > 7) return false;
  unsigned iterations = 0;
  for (const char* d = p; d < dollar; ++d) {
    if (*d < '0' || *d > '9') return false;
    iterations = iterations * 10 + static_cast<unsigned>(*d - '0');
  }
  if (iterations > kMaxPasswordHashIterations) return false;

  p = dollar + 1;
  dollar = FindDollar(p, end);
  PasswordHash h;
  if (!dollar || !ReadHex(p, dollar, h.salt, kPasswordSaltBytes)) return false;
  if (!ReadHex(dollar + 1, end, h.hash, kPasswordHashBytes)) return false;
  h.iterations = iterations;
  *out = h;
  return true;
}

bool SameBytes(const unsigned char* a, const unsigned char* b, size_t n) {
  unsigned char diff = 0;
  for (size_t i = 0; i < n; ++i) diff = static_cast<unsigned char>(diff | (a[i] ^ b[i]));
  return diff == 0;
}
