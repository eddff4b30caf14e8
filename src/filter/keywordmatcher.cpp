#include "filter/keywordmatcher.h"

#include <cstring>

#include "filter/textnorm.h"

namespace qv {

namespace {
struct FoldMap {
  unsigned char to[256];
  constexpr FoldMap() : to() {
    for (int c = 0; c < 256; ++c) to[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
};
constexpr FoldMap kFold;

inline uint32_t Pair(unsigned char a, unsigned char b) { return uint32_t{kFold.to[a]} << 8 | kFold.to[b]; }
}  // namespace

void KeywordMatcher::Add(const char* keyword, size_t n, int weight) {
  if (n == 0 || n > kMaxKeywordLength || weights_.size() >= kMaxKeywords || weight == 0) return;
  std::string w(keyword, n);
  for (char& c : w) c = AsciiLower(c);
  words_.push_back(std::move(w));
  weights_.push_back(weight);
}

void KeywordMatcher::Build() {
  pairBits_.assign(65536 / 64, 0);
  bucketStart_.assign((size_t{1} << kBucketBits) + 1, 0);
  bucketWords_.clear();
  singleWords_.clear();
  for (auto& b : singleBits_) b = 0;
  // Counting sort of the keywords by bucket, in the order they were added.
  std::vector<uint16_t> count((size_t{1} << kBucketBits) + 1, 0);
  for (size_t k = 0; k < words_.size(); ++k) {
    const std::string& w = words_[k];
    const unsigned char c0 = static_cast<unsigned char>(w[0]);
    if (w.size() == 1) {
      singleBits_[c0 >> 6] |= uint64_t{1} << (c0 & 63);
      singleWords_.push_back(static_cast<uint16_t>(k));
      continue;
    }
    const uint32_t p = Pair(c0, static_cast<unsigned char>(w[1]));
    pairBits_[p >> 6] |= uint64_t{1} << (p & 63);
    ++count[Bucket(p) + 1];
  }
  for (size_t b = 1; b < count.size(); ++b) bucketStart_[b] = static_cast<uint16_t>(bucketStart_[b - 1] + count[b]);
  bucketWords_.assign(bucketStart_.back(), 0);
  std::vector<uint16_t> fill(bucketStart_.begin(), bucketStart_.end() - 1);
  for (size_t k = 0; k < words_.size(); ++k) {
    const std::string& w = words_[k];
    if (w.size() < 2) continue;
    const uint32_t b = Bucket(Pair(static_cast<unsigned char>(w[0]), static_cast<unsigned char>(w[1])));
    bucketWords_[fill[b]++] = static_cast<uint16_t>(k);
  }
  built_ = true;
}

inline void KeywordMatcher::Found(size_t k, Seen* seen) const {
  const uint16_t use = static_cast<uint16_t>(1u << (k >> 6));
  if (!(seen->inUse & use)) {
    seen->inUse |= use;
    seen->bits[k >> 6] = 0;
  }
  uint64_t& word = seen->bits[k >> 6];
  const uint64_t bit = uint64_t{1} << (k & 63);
  if (word & bit) return;
  word |= bit;
  seen->score += weights_[k];
}

template <bool kFolding>
void KeywordMatcher::ScanRange(const char* text, size_t n, size_t stop, Seen* seen) const {
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  if (!singleWords_.empty())
    for (size_t i = 0; i < stop; ++i) {
      const unsigned char c = kFold.to[t[i]];
      if (singleBits_[c >> 6] >> (c & 63) & 1)
        for (uint16_t k : singleWords_)
          if (static_cast<unsigned char>(words_[k][0]) == c) Found(k, seen);
    }
  if (n < 2) return;
  const uint64_t* pairs = pairBits_.data();
  const size_t last = stop < n - 1 ? stop : n - 1;  // pair starts
  uint32_t c = kFolding ? kFold.to[t[0]] : t[0];
  for (size_t i = 0; i < last; ++i) {
    const uint32_t d = kFolding ? kFold.to[t[i + 1]] : t[i + 1];
    const uint32_t p = c << 8 | d;
    c = d;
    if (!(pairs[p >> 6] >> (p & 63) & 1)) continue;
    const uint32_t b = Bucket(p);
    for (uint32_t j = bucketStart_[b], e = bucketStart_[b + 1]; j < e; ++j) {
      const uint16_t k = bucketWords_[j];
      const std::string& w = words_[k];
      if (w.size() > n - i) continue;
      size_t m = 0;
      while (m < w.size() && kFold.to[t[i + m]] == static_cast<unsigned char>(w[m])) ++m;
      if (m == w.size()) Found(k, seen);
    }
  }
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

void KeywordMatcher::Scan(const char* text, size_t n, bool percentDecode, Seen* seen) const {
  if (!built_ || weights_.empty() || n == 0) return;
  if (!percentDecode) {
    ScanRange<true>(text, n, n, seen);
    return;
  }
  // Decoded in pieces: each piece keeps the last bytes of the one before,
  // so a keyword across the seam is whole in the next piece.
  constexpr size_t kOverlap = kMaxKeywordLength - 1;
  char buf[512 + kOverlap];
  size_t have = 0;
  for (size_t i = 0;;) {
    while (have < sizeof buf && i < n) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == '%' && i + 2 < n) {
        const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
        if (hi >= 0 && lo >= 0) {
          c = static_cast<unsigned char>(hi * 16 + lo);
          i += 2;
        }
      }
      buf[have++] = static_cast<char>(c);
      ++i;
    }
    if (i >= n) {
      ScanRange<true>(buf, have, have, seen);
      return;
    }
    const size_t stop = have - kOverlap;
    ScanRange<true>(buf, have, stop, seen);
    memmove(buf, buf + stop, kOverlap);
    have = kOverlap;
  }
}

void KeywordMatcher::ScanLower(const char* text, size_t n, Seen* seen) const {
  if (built_ && !weights_.empty() && n > 0) ScanRange<false>(text, n, n, seen);
}

}  // namespace qv
