#include "filter/textnorm.h"

#include <cstring>

namespace qv {

uint64_t HashBytes(const char* s, size_t n) {
  uint64_t h = kHashSeed;
  for (size_t i = 0; i < n; ++i) h = HashByte(h, static_cast<unsigned char>(s[i]));
  return h;
}

uint64_t HashHostName(const char* s, size_t n) {
  char padded[kMaxHostLength + kHashPadding] = {};
  if (n > kMaxHostLength) n = kMaxHostLength;
  memcpy(padded, s, n);
  return HashPadded(padded, n);
}

size_t NormalizePathInto(const char* path, size_t n, char* outBuf) {
  size_t len = 0;
  size_t b = 0, e = n;
  while (b < e && (path[b] == ' ' || path[b] == '"')) ++b;
  while (e > b && (path[e - 1] == ' ' || path[e - 1] == '"')) --e;
  auto isSep = [](char c) { return c == '\\' || c == '/'; };
  bool share = false;
  // "\\?\C:\x" and "\\?\UNC\srv\x" name the same files as "C:\x" and "\\srv\x".
  if (e - b >= 4 && isSep(path[b]) && isSep(path[b + 1]) && path[b + 2] == '?' && isSep(path[b + 3])) {
    b += 4;
    if (e - b >= 4 && AsciiLower(path[b]) == 'u' && AsciiLower(path[b + 1]) == 'n' &&
        AsciiLower(path[b + 2]) == 'c' && isSep(path[b + 3])) {
      b += 4;
      share = true;
    }
  } else if (e - b >= 2 && isSep(path[b]) && isSep(path[b + 1])) {
    share = true;
  }
  if (share) {
    outBuf[len++] = '\\';
    outBuf[len++] = '\\';
    while (b < e && isSep(path[b])) ++b;
  }
  bool lastSep = false;
  for (size_t i = b; i < e; ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    const bool sep = isSep(static_cast<char>(c));
    if (IsGbkLead(c) && i + 1 < e) {
      outBuf[len++] = static_cast<char>(c);
      outBuf[len++] = path[++i];
    } else if (sep) {
      if (!lastSep) outBuf[len++] = '\\';
    } else {
      outBuf[len++] = AsciiLower(static_cast<char>(c));
    }
    lastSep = sep;
  }
  return len;
}

void NormalizePath(const char* path, size_t n, std::string* out) {
  const size_t at = out->size();
  out->resize(at + n + 2);
  out->resize(at + NormalizePathInto(path, n, &(*out)[at]));
}

size_t FileNameStart(const char* p, size_t n) {
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (IsGbkLead(c) && i + 1 < n) {
      ++i;
    } else if (c == '\\' || c == ':') {
      start = i + 1;
    }
  }
  return start;
}

size_t NormalizeHost(const char* host, size_t n, char out[kMaxHostLength + 1]) {
  out[0] = '\0';
  if (n > 0 && host[n - 1] == '.') --n;
  if (n == 0 || n > kMaxHostLength) return 0;
  // Without branches on the bytes, so that the compiler can take several at once.
  unsigned bad = 0;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(host[i]);
    const unsigned char l = static_cast<unsigned char>(c | ((static_cast<unsigned char>(c - 'A') < 26) << 5));
    const bool ok = static_cast<unsigned char>(l - 'a') < 26 || static_cast<unsigned char>(l - '0') < 10 ||
                    l == '-' || l == '.' || l == '_' || c >= 0x80;
    bad |= !ok;
    out[i] = static_cast<char>(l);
  }
  if (bad) {
    out[0] = '\0';
    return 0;
  }
  out[n] = '\0';
  return n;
}

}  // namespace qv
