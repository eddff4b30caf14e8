// What the lists said of recently seen host names, kept so that the many
// connections a program opens to one host (and the name's DNS query before
// them) are judged without looking up every parent domain and keyword
// again. Safe for any number of threads without a lock: each entry is
// guarded by a sequence number, a reader that meets a write in progress
// takes it as not cached, and a writer that meets another leaves the entry
// to it.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace qv {

// Eight bytes, so that it is handed back in a register.
struct HostFacts {
  uint16_t bits = 0;    // list bits of the name and its parent domains
  bool scored = false;  // score was worked out
  int32_t score = 0;    // keyword score of the name alone
};

class HostCache {
 public:
  static constexpr size_t kEntries = 256;
  static constexpr size_t kMaxName = 48;  // longer names are not kept

  HostCache();
  // A quick hash of a name followed by at least 8 zero bytes: its first,
  // second and last eight bytes, each multiplied on its own, so that a hit
  // costs less than the lists' own hash of the whole name.
  static uint64_t Hash(const char* host, size_t n) {
    uint64_t a, b, c;
    memcpy(&a, host, 8);
    memcpy(&b, host + (n > 8 ? n - 8 : 0), 8);
    memcpy(&c, host + (n > 16 ? 8 : 0), 8);
    const uint64_t h = (a * 0x9E3779B97F4A7C15ull) ^ (b * 0xC2B2AE3D27D4EB4Full) ^ (c * 0x165667B19E3779F9ull) ^ n;
    return h ^ (h >> 29) ^ (h >> 47);
  }
  // The facts kept for the name of n bytes at host, which is followed by
  // at least 8 zero bytes; false when they are not kept.
  bool Find(uint64_t hash, const char* host, size_t n, HostFacts* out) const {
    if (n == 0 || n > kMaxName) return false;
    const Entry& e = entries_[hash & (kEntries - 1)];
    const uint32_t before = e.seq.load(std::memory_order_acquire);
    if (before & 1) return false;
    const uint32_t meta = e.meta.load(std::memory_order_relaxed);
    if ((meta & 0xFF) != n || e.tag.load(std::memory_order_relaxed) != static_cast<uint32_t>(hash >> 32)) return false;
    for (size_t k = 0, count = WordCount(n); k < count; ++k)
      if (e.words[k].load(std::memory_order_relaxed) != Word(host + WordAt(n, k))) return false;
    const int32_t score = e.score.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (e.seq.load(std::memory_order_relaxed) != before) return false;  // written meanwhile
    out->bits = static_cast<uint16_t>(meta >> 8 & 0xFF);
    out->scored = (meta >> 24 & 1) != 0;
    out->score = score;
    return true;
  }
  void Put(uint64_t hash, const char* host, size_t n, HostFacts facts) const;
  // Forgets everything; only while no other thread uses the cache.
  void Clear();

 private:
  // Words as wide as the machine's, so that a 32-bit program's loads of
  // them stay plain loads.
  using CacheWord = std::conditional<sizeof(void*) >= 8, uint64_t, uint32_t>::type;
  static constexpr size_t kWord = sizeof(CacheWord);
  static CacheWord Word(const char* at) {
    CacheWord w;
    memcpy(&w, at, kWord);
    return w;
  }
  // A name is kept as whole words from its start and one last word ending
  // at its end, which may overlap the one before; a name shorter than a
  // word is one word with the zero bytes after it.
  static size_t WordCount(size_t n) { return (n + kWord - 1) / kWord; }
  static size_t WordAt(size_t n, size_t k) { return k + 1 < WordCount(n) || n < kWord ? k * kWord : n - kWord; }
  struct Entry {
    std::atomic<uint32_t> seq{0};   // odd while being written
    std::atomic<uint32_t> tag{0};   // the hash's upper half
    std::atomic<uint32_t> meta{0};  // length | bits << 8 | scored << 24; 0: empty
    std::atomic<int32_t> score{0};
    std::atomic<CacheWord> words[kMaxName / kWord];
  };
  std::unique_ptr<Entry[]> entries_;
};

}  // namespace qv
