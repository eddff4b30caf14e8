#include "filter/keywordmatcher.h"

#include <deque>

#include "filter/textnorm.h"

namespace qv {

void KeywordMatcher::Add(const char* keyword, size_t n, int weight) {
  if (n == 0 || n > kMaxKeywordLength || weights_.size() >= kMaxKeywords || weight == 0) return;
  std::string w(keyword, n);
  for (char& c : w) c = AsciiLower(c);
  words_.push_back(std::move(w));
  weights_.push_back(weight);
}

void KeywordMatcher::Build() {
  // Byte classes: one per byte the keywords use, 0 for all others.
  uint8_t cls[256] = {};
  uint32_t classes = 1;
  for (const std::string& w : words_)
    for (char ch : w) {
      const unsigned char c = static_cast<unsigned char>(ch);
      if (cls[c] == 0) cls[c] = static_cast<uint8_t>(classes++);
    }
  // A byte that folds to a used letter gets its class too.
  for (int c = 'A'; c <= 'Z'; ++c) cls[c] = cls[c + 32];

  // The trie; -1 for no edge yet. At most 64 * 1024 + 1 states.
  std::vector<int32_t> go(classes, -1);
  std::vector<std::vector<uint16_t>> outs(1);
  size_t states = 1;
  for (size_t k = 0; k < words_.size(); ++k) {
    size_t s = 0;
    for (char ch : words_[k]) {
      const uint32_t c = cls[static_cast<unsigned char>(ch)];
      if (go[s * classes + c] < 0) {
        go[s * classes + c] = static_cast<int32_t>(states++);
        go.resize(states * classes, -1);
        outs.emplace_back();
      }
      s = static_cast<size_t>(go[s * classes + c]);
    }
    outs[s].push_back(static_cast<uint16_t>(k));
  }
  if (states > 0xFFFF) {  // cannot be indexed in 16 bits: keep no keyword
    words_.clear();
    weights_.clear();
    next_.assign(1, 0);
    outStart_.assign(2, 0);
    out_.clear();
    classes_ = 1;
    for (auto& c : classOf_) c = 0;
    return;
  }

  // Failure links, breadth first, turning the trie into a full automaton.
  std::vector<uint32_t> fail(states, 0);
  std::deque<uint32_t> queue;
  for (uint32_t c = 0; c < classes; ++c) {
    int32_t t = go[c];
    if (t < 0) {
      go[c] = 0;
    } else {
      fail[t] = 0;
      queue.push_back(static_cast<uint32_t>(t));
    }
  }
  while (!queue.empty()) {
    const uint32_t s = queue.front();
    queue.pop_front();
    const std::vector<uint16_t>& inherited = outs[fail[s]];
    outs[s].insert(outs[s].end(), inherited.begin(), inherited.end());
    for (uint32_t c = 0; c < classes; ++c) {
      const int32_t t = go[s * classes + c];
      if (t < 0) {
        go[s * classes + c] = go[fail[s] * classes + c];
      } else {
        fail[t] = static_cast<uint32_t>(go[fail[s] * classes + c]);
        queue.push_back(static_cast<uint32_t>(t));
      }
    }
  }

  classes_ = classes;
  for (int c = 0; c < 256; ++c) classOf_[c] = cls[c];
  next_.assign(go.begin(), go.end());
  outStart_.assign(states + 1, 0);
  out_.clear();
  for (size_t s = 0; s < states; ++s) {
    outStart_[s] = static_cast<uint32_t>(out_.size());
    out_.insert(out_.end(), outs[s].begin(), outs[s].end());
  }
  outStart_[states] = static_cast<uint32_t>(out_.size());
}

inline void KeywordMatcher::Step(uint32_t& state, unsigned char c, Seen* seen) const {
  state = next_[state * classes_ + classOf_[c]];
  for (uint32_t i = outStart_[state], e = outStart_[state + 1]; i < e; ++i) {
    const uint16_t k = out_[i];
    uint64_t& word = seen->bits[k >> 6];
    const uint64_t bit = uint64_t{1} << (k & 63);
    if (word & bit) continue;
    word |= bit;
    seen->score += weights_[k];
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
  if (next_.empty() || weights_.empty()) return;
  uint32_t state = 0;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (percentDecode && c == '%' && i + 2 < n) {
      const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        c = static_cast<unsigned char>(hi * 16 + lo);
        i += 2;
      }
    }
    Step(state, c, seen);
  }
}

}  // namespace qv
