#include "filter/settingsreload.h"

namespace qv {

bool SettingsReload::ShouldReload(uint64_t nowMs) {
  if (checked_ && nowMs - lastCheckMs_ < 1000) return false;
  uint64_t size = 0;
  int64_t mtime = 0;
  const bool present = stat_ && stat_(ctx_, &size, &mtime);
  const bool changed = !checked_ || failed_ || present != present_ || size != size_ || mtime != mtime_;
  checked_ = true;
  failed_ = false;
  lastCheckMs_ = nowMs;
  present_ = present, size_ = size, mtime_ = mtime;
  return changed;
}

}  // namespace qv
