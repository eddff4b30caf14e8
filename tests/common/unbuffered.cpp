// Test output reaches the log at once, so a hanging test still shows where it was.
#include <cstdio>

namespace {
struct Unbuffered {
  Unbuffered() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    setvbuf(stderr, nullptr, _IONBF, 0);
  }
} const unbuffered;
}  // namespace
