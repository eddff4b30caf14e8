// Weighted keywords found in one pass over a text (Aho-Corasick automaton
// over the byte classes the keywords use). Matching ignores ASCII case.
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
  // Makes the automaton; Add after Build starts a new one at the next Build.
  void Build();
  size_t size() const { return weights_.size(); }

  // Keeps which keywords were seen across several texts of one request, so
  // that each counts once however often it occurs.
  struct Seen {
    uint64_t bits[kMaxKeywords / 64] = {};
    int score = 0;
  };
  // Scans n bytes; with percentDecode, "%41" reads as 'A'.
  void Scan(const char* text, size_t n, bool percentDecode, Seen* seen) const;

 private:
  void Step(uint32_t& state, unsigned char c, Seen* seen) const;

  std::vector<std::string> words_;
  std::vector<int> weights_;
  // The automaton.
  uint8_t classOf_[256] = {};
  uint32_t classes_ = 1;
  std::vector<uint16_t> next_;      // state * classes_ + class
  std::vector<uint32_t> outStart_;  // per state, into out_; one past the last state too
  std::vector<uint16_t> out_;       // keyword indexes
};

}  // namespace qv
