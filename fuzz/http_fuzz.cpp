// The HTTP request parser over any bytes: every field lies inside the input.
#include <cstdint>

#include "filter/protocols.h"

namespace {
void Inside(const qv::Span& s, const uint8_t* data, size_t size) {
  if (s.length == 0) return;
  const char* b = reinterpret_cast<const char*>(data);
  if (s.data < b || s.data + s.length > b + size) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::HttpRequest r;
  if (!qv::ParseHttpRequest(data, size, &r)) return 0;
  for (const qv::Span* s : {&r.method, &r.target, &r.path, &r.host, &r.accept, &r.contentType}) Inside(*s, data, size);
  return 0;
}
