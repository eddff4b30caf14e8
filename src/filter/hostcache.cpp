#include "filter/hostcache.h"

#include <cstring>

namespace qv {

namespace {
uint32_t Meta(size_t n, HostFacts f) {
  return static_cast<uint32_t>(n) | uint32_t{f.bits & 0xFFu} << 8 | uint32_t{f.scored} << 24;
}
}  // namespace

HostCache::HostCache() : entries_(new Entry[kEntries]) { Clear(); }

void HostCache::Clear() {
  for (size_t i = 0; i < kEntries; ++i) {
    Entry& e = entries_[i];
    e.seq.store(0, std::memory_order_relaxed);
    e.tag.store(0, std::memory_order_relaxed);
    e.meta.store(0, std::memory_order_relaxed);
    e.score.store(0, std::memory_order_relaxed);
    for (auto& w : e.words) w.store(0, std::memory_order_relaxed);
  }
  std::atomic_thread_fence(std::memory_order_release);
}

void HostCache::Put(uint64_t hash, const char* host, size_t n, HostFacts facts) const {
  if (n == 0 || n > kMaxName || facts.bits > 0xFF) return;
  Entry& e = entries_[hash & (kEntries - 1)];
  uint32_t seq = e.seq.load(std::memory_order_relaxed);
  if ((seq & 1) || !e.seq.compare_exchange_strong(seq, seq + 1, std::memory_order_acquire, std::memory_order_relaxed))
    return;  // another thread is writing it
  std::atomic_thread_fence(std::memory_order_release);
  const size_t count = WordCount(n);
  for (size_t k = 0; k < kMaxName / kWord; ++k)
    e.words[k].store(k < count ? Word(host + WordAt(n, k)) : 0, std::memory_order_relaxed);
  e.tag.store(static_cast<uint32_t>(hash >> 32), std::memory_order_relaxed);
  e.score.store(facts.score, std::memory_order_relaxed);
  e.meta.store(Meta(n, facts), std::memory_order_relaxed);
  e.seq.store(seq + 2, std::memory_order_release);
}

}  // namespace qv
