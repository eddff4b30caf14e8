// A "Password:" value read as a stored hash.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/passwordhash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the input's bytes, so a read past them is caught.
  std::vector<char> bytes(data, data + size);
  PasswordHash h;
  if (!ParsePasswordHash(bytes.data(), bytes.size(), &h)) return 0;
  if (h.iterations == 0 || h.iterations > kMaxPasswordHashIterations) __builtin_trap();
  // What parses is exactly what the formatter writes.
  const std::string again = FormatPasswordHash(h);
  if (again.size() != size || memcmp(again.data(), bytes.data(), size) != 0) __builtin_trap();
  return 0;
}
