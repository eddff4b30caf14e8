// A compact set of byte strings, each with a few flag bits: one blob of the
// strings and an open-addressed table of their hashes. The caller gives the
// hash, so that it can hash a host name's parent domains in place.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class StringTable {
 public:
  // Adds s (or ORs bits into an entry equal to it). Strings longer than
  // 65,535 bytes are not kept.
  void Insert(uint64_t hash, const char* s, size_t n, uint16_t bits);
  // The bits of the entry equal to s, 0 when none.
  uint16_t Find(uint64_t hash, const char* s, size_t n) const {
    if (slots_.empty()) return 0;
    for (size_t i = static_cast<size_t>(hash) & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.bits == 0) return 0;
      if (slot.hash == hash && slot.length == n && Same(slot.offset, s, n)) return slot.bits;
    }
  }
  size_t size() const { return count_; }
  void Reserve(size_t entries, size_t bytes);

 private:
  struct Slot {
    uint64_t hash;
    uint32_t offset;
    uint16_t length;
    uint16_t bits;  // 0: empty slot
  };
  bool Same(uint32_t offset, const char* s, size_t n) const;
  void Grow();

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
  std::string blob_;
};

}  // namespace qv
