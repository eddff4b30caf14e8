#include "filter/textnorm.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {
constexpr uint64_t kEach = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// Set in the high bit of each byte of y (7-bit bytes) where lo <= byte <= hi;
// no sum carries into the next byte. The other bits are left for the
// caller to mask once.
inline uint64_t InRange(uint64_t y, unsigned lo, unsigned hi) {
  return (y + kEach * (0x80 - lo)) & ~(y + kEach * (0x7F - hi));
}

// Eight bytes of a host name at once: *w lowered, and the high bit of each
// byte that a host name may not hold set in the answer.
inline uint64_t LowerHostWord(uint64_t* w) {
  const uint64_t x = *w;
  const uint64_t high = x & kHigh;  // GBK and other non-ASCII bytes pass as they are
  const uint64_t y = x & ~kHigh;
  const uint64_t l = x | ((InRange(y, 'A', 'Z') & kHigh & ~high) >> 2);
  const uint64_t ly = l & ~kHigh;
  // After lowering: '-', '.', the digits, '_' and the letters, not '/' or '`'.
  const uint64_t ok = high | (InRange(ly, '-', '9') & ~InRange(ly, '/', '/')) |
                      (InRange(ly, '_', 'z') & ~InRange(ly, '`', '`'));
  *w = l;
  return ~ok & kHigh;
}
// Lowers and checks n bytes at in into out, eight at a time; an answer
// with a bit set means a byte no host name holds.
uint64_t LowerHostBytes(const char* in, size_t n, char* out) {
  uint64_t bad = 0;
  if (n < 8) {
    uint64_t w = 0;
    for (size_t i = 0; i < n; ++i) w |= uint64_t{static_cast<unsigned char>(in[i])} << (8 * i);
    const uint64_t mine = kHigh >> (8 * (8 - n));  // the zero bytes after the name do not count
    bad = LowerHostWord(&w) & mine;
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(w >> (8 * i));
    return bad;
  }
  // The last word ends at the end (it may overlap the one before), so that
  // nothing past in[n - 1] is read.
  size_t i = 0;
  for (; i + 8 < n; i += 8) {
    uint64_t w;
    memcpy(&w, in + i, 8);
    bad |= LowerHostWord(&w);
    memcpy(out + i, &w, 8);
  }
  uint64_t w;
  memcpy(&w, in + n - 8, 8);
  bad |= LowerHostWord(&w);
  memcpy(out + n - 8, &w, 8);
  return bad;
}

#if defined(__SSE2__)
// Sixteen bytes at once: *v lowered; the answer has a bit for each byte a
// host name may not hold. Bytes from 0x80 are negative here and pass. Few
// constants, so that the caller need not save vector registers.
inline unsigned LowerHostVector(__m128i* v) {
  const __m128i x = *v;
  const __m128i k20 = _mm_set1_epi8(0x20);
  // x | 0x20 is a lower-case letter exactly when x is a letter.
  const __m128i f = _mm_or_si128(x, k20);
  const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(f, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(f, _mm_set1_epi8('z' + 1)));
  // '-', '.', '/' and the digits, then without '/'.
  const __m128i digit = _mm_andnot_si128(
      _mm_cmpeq_epi8(x, _mm_set1_epi8('/')),
      _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8('-' - 1)), _mm_cmplt_epi8(x, _mm_set1_epi8('9' + 1))));
  const __m128i ok = _mm_or_si128(_mm_or_si128(letter, digit), _mm_cmpeq_epi8(x, _mm_set1_epi8('_')));
  *v = _mm_or_si128(x, _mm_and_si128(letter, k20));
  return ~static_cast<unsigned>(_mm_movemask_epi8(ok) | _mm_movemask_epi8(x)) & 0xFFFFu;
}
#endif

}  // namespace

size_t NormalizeHostWords(const char* host, size_t n, char out[kMaxHostLength + 1]) {
  out[0] = '\0';
  if (n > 0 && host[n - 1] == '.') --n;
  if (n == 0 || n > kMaxHostLength) return 0;
  if (LowerHostBytes(host, n, out)) {
    out[0] = '\0';
    return 0;
  }
  out[n] = '\0';
  return n;
}

size_t NormalizeHost(const char* host, size_t n, char out[kMaxHostLength + 1]) {
#if defined(__SSE2__)
  out[0] = '\0';
  if (n > 0 && host[n - 1] == '.') --n;
  if (n == 0 || n > kMaxHostLength) return 0;
  unsigned bad = 0;
  if (n < 16) {
    bad = LowerHostBytes(host, n, out) != 0;
  } else {
    // As the words do: the last sixteen bytes end at the end.
    size_t i = 0;
    for (; i + 16 < n; i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(host + i));
      bad |= LowerHostVector(&v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
    }
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(host + n - 16));
    bad |= LowerHostVector(&v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 16), v);
  }
  if (bad) {
    out[0] = '\0';
    return 0;
  }
  out[n] = '\0';
  return n;
#else
  return NormalizeHostWords(host, n, out);
#endif
}

}  // namespace qv
