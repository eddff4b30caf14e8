#include "filter/stringtable.h"

#include <cstring>

namespace qv {

bool StringTable::Same(uint32_t offset, const char* s, size_t n) const {
  return n == 0 || memcmp(blob_.data() + offset, s, n) == 0;
}

void StringTable::Reserve(size_t entries, size_t bytes) {
  blob_.reserve(blob_.size() + bytes);
  size_t want = 16;
  while (want < 2 * (count_ + entries)) want *= 2;
  if (want > slots_.size()) {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(want, Slot{0, 0, 0, 0});
    mask_ = want - 1;
    for (const Slot& s : old) {
      if (s.bits == 0) continue;
      size_t i = static_cast<size_t>(s.hash) & mask_;
      while (slots_[i].bits != 0) i = (i + 1) & mask_;
      slots_[i] = s;
    }
  }
}

void StringTable::Grow() { Reserve(count_ + 1, 0); }

void StringTable::Insert(uint64_t hash, const char* s, size_t n, uint16_t bits) {
  if (bits == 0 || n > 0xFFFF || blob_.size() + n > 0xFFFFFFFFu) return;
  // At most half full, so that a miss ends after a short probe.
  if (2 * (count_ + 1) > slots_.size()) Grow();
  for (size_t i = static_cast<size_t>(hash) & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots_[i];
    if (slot.bits == 0) {
      slot.hash = hash;
      slot.offset = static_cast<uint32_t>(blob_.size());
      slot.length = static_cast<uint16_t>(n);
      slot.bits = bits;
      blob_.append(s, n);
      ++count_;
      return;
    }
    if (slot.hash == hash && slot.length == n && Same(slot.offset, s, n)) {
      slot.bits |= bits;
      return;
    }
  }
}

}  // namespace qv
