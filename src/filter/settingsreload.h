// When to read the settings file again: only when its size or time changed,
// and at most once a second. Pure: the file's state and the clock are given.
#pragma once
#include <cstdint>

namespace qv {

class SettingsReload {
 public:
  // Fills size and time of the file; false when it is missing.
  using Stat = bool (*)(void* ctx, uint64_t* size, int64_t* mtime);
  SettingsReload(Stat stat, void* ctx) : stat_(stat), ctx_(ctx) {}

  // True when the caller should read now (the first call always is).
  bool ShouldReload(uint64_t nowMs);
  // A read that failed (a file being replaced) is tried again a second later.
  void ReadFailed() { failed_ = true; }

 private:
  Stat stat_;
  void* ctx_;
  bool checked_ = false, failed_ = false, present_ = false;
  uint64_t lastCheckMs_ = 0, size_ = 0;
  int64_t mtime_ = 0;
};

}  // namespace qv
