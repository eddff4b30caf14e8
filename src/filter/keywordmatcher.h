// Weighted keywords found in a text. Each start position of the text is
// looked up by its first two bytes in a bit set of the keywords' first two
// bytes; only where one begins are the keywords of that pair compared.
// Matching ignores ASCII case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class KeywordMatcher {
 public:
  static constexpr size_t kMaxKeywords = 1024;
  static constexpr size_t kMaxKeywordLength = 64;

  // Keywords beyond the limits above, and empty ones, are left out.
  // A negative weight offsets a harmless word that holds a scored one.
  void Add(const char* keyword, size_t n, int weight);
  // Makes the lookup tables; Add after Build takes effect at the next Build.
  void Build();
  size_t size() const { return weights_.size(); }
  // The k-th keyword as kept (lower case) and its weight.
  const std::string& word(size_t k) const { return words_[k]; }
  int weight(size_t k) const { return weights_[k]; }

  // Keeps which keywords were seen across several texts of one request, so
  // that each counts once however often it occurs.
  // Only the words of bits that in use marks are valid, so that a decision
  // does not clear all of them first.
  struct Seen {
    int score = 0;
    uint16_t inUse = 0;
    uint64_t bits[kMaxKeywords / 64];
    bool has(size_t k) const { return (inUse >> (k >> 6) & 1) && (bits[k >> 6] >> (k & 63) & 1); }
  };
  static_assert(kMaxKeywords / 64 <= 16, "inUse has a bit per word of bits");
  // Scans n bytes; with percentDecode, "%41" reads as 'A'.
  void Scan(const char* text, size_t n, bool percentDecode, Seen* seen) const;
  // The same for a text without ASCII capitals (a normalised host name).
  void ScanLower(const char* text, size_t n, Seen* seen) const;

 private:
  // Keywords starting at each position below stop; they may reach up to n.
  template <bool kFolding>
  void ScanRange(const char* text, size_t n, size_t stop, Seen* seen) const;
  void Found(size_t k, Seen* seen) const;
  static uint32_t Bucket(uint32_t pair) { return (pair * 0x9E3779B1u) >> (32 - kBucketBits); }

  static constexpr int kBucketBits = 10;
  std::vector<std::string> words_;
  std::vector<int> weights_;
  bool built_ = false;
  std::vector<uint64_t> pairBits_;      // 65,536 bits: a keyword starts with this (folded) pair
  std::vector<uint16_t> bucketStart_;   // per bucket of pairs, into bucketWords_; one more at the end
  std::vector<uint16_t> bucketWords_;   // keyword indexes of length 2 and more
  uint64_t singleBits_[4] = {};         // one-byte keywords
  std::vector<uint16_t> singleWords_;   // their indexes
};

}  // namespace qv
