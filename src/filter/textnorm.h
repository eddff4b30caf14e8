// Byte-level normal forms the engine compares in: paths the way Windows
// compares them, host names the way DNS does. Code page 936 aware: the
// second byte of a double-byte character is never folded or turned into a
// separator, though it may look like 'A'..'Z' or '\'.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qv {

// FNV-1a, 64 bits.
constexpr uint64_t kHashSeed = 1469598103934665603ull;
inline uint64_t HashByte(uint64_t h, unsigned char c) { return (h ^ c) * 1099511628211ull; }
uint64_t HashBytes(const char* s, size_t n);
// The hash the domain tables keep a host name under. HashPadded reads s 8
// bytes at a time and needs 8 zero bytes after s[n - 1] (its caller keeps
// the name in a buffer padded so, and hashes each parent domain in place);
// HashHostName makes such a copy itself.
constexpr size_t kHashPadding = 8;
inline uint64_t HashPadded(const char* s, size_t n) {
  uint64_t h = kHashSeed ^ (n * 0x9E3779B97F4A7C15ull);
  for (size_t i = 0; i < n; i += 8) {
    uint64_t w;
    memcpy(&w, s + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 29);
}
uint64_t HashHostName(const char* s, size_t n);

inline bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// A path in the form the engine compares: ASCII letters lower case, '/' as
// '\', runs of separators as one (a leading "\\" of a share kept), a "\\?\"
// prefix dropped, surrounding quotes and spaces dropped. Appends to out.
void NormalizePath(const char* path, size_t n, std::string* out);
// The same into a buffer of at least n + 2 bytes; answers the length.
size_t NormalizePathInto(const char* path, size_t n, char* out);

// The file name part of a normalised path (after its last separator).
// Works on the byte positions that NormalizePath left as separators.
size_t FileNameStart(const char* normalizedPath, size_t n);

// A host name as compared: ASCII lower case, one trailing dot dropped.
// Answers its length, or 0 (out empty) when the name is empty, longer than
// kMaxHostLength or holds a byte no host name holds: a name cut short would
// be looked up under a parent it does not have.
constexpr size_t kMaxHostLength = 253;
size_t NormalizeHost(const char* host, size_t n, char out[kMaxHostLength + 1]);
// The same eight bytes at a time in plain integers, as a 32-bit build does
// it throughout; NormalizeHost takes 16 at a time where SSE2 is sure.
size_t NormalizeHostWords(const char* host, size_t n, char out[kMaxHostLength + 1]);

}  // namespace qv
