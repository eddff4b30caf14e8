// The list file parser (domain and keyword lists of the program folder)
// over any bytes: a whole text reads as its lines read one by one, a plain
// domain line is found again by the lookup, and a text scores the keywords
// a plain search finds in it.
#include <cstdint>
#include <cstring>
#include <string>

#include "filter/filterlists.h"
#include "filter/textnorm.h"

namespace {

bool PlainDomainLine(const char* s, size_t n) {
  if (n == 0 || s[0] == '.' || s[0] == '*') return false;
  for (size_t i = 0; i < n; ++i)
    if (s[i] == '#' || s[i] == ' ' || s[i] == '\t' || s[i] == '\r') return false;
  return true;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decoded(const char* s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] == '%' && i + 2 < n && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0) {
      out += static_cast<char>(Hex(s[i + 1]) * 16 + Hex(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool Holds(const std::string& text, const std::string& word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t m = 0;
    while (m < word.size() && qv::AsciiLower(text[i + m]) == word[m]) ++m;
    if (m == word.size()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  qv::FilterLists whole;
  const size_t domains = whole.AddDomains(text, size, qv::kListAdult);
  const size_t keywords = whole.AddKeywords(text, size);
  whole.Finish();
  if (whole.domainCount() > domains || whole.keywords().size() != keywords) __builtin_trap();

  qv::FilterLists byLine;
  size_t domainsByLine = 0, keywordsByLine = 0;
  for (size_t i = 0; i < size;) {
    const char* nl = static_cast<const char*>(memchr(text + i, '\n', size - i));
    const size_t e = nl ? static_cast<size_t>(nl - text) : size;
    domainsByLine += byLine.AddDomains(text + i, e - i, qv::kListAdult);
    keywordsByLine += byLine.AddKeywords(text + i, e - i);
    if (PlainDomainLine(text + i, e - i)) {
      char host[qv::kMaxHostLength + 1];
      const size_t h = qv::NormalizeHost(text + i, e - i, host);
      if (h != 0 && !(whole.HostBits(host, h) & qv::kListAdult)) __builtin_trap();
    }
    i = e + 1;
  }
  if (domainsByLine != domains || keywordsByLine != keywords) __builtin_trap();
  if (byLine.domainCount() != whole.domainCount()) __builtin_trap();

  // Lookups of the same bytes stay within them; the keyword score of the
  // text is the sum of the weights of the keywords it holds, each once.
  whole.HostBits(text, size);
  const qv::KeywordMatcher& k = whole.keywords();
  for (bool decode : {false, true}) {
    qv::KeywordMatcher::Seen seen;
    k.Scan(text, size, decode, &seen);
    for (size_t w = k.size(); w < qv::KeywordMatcher::kMaxKeywords; ++w)
      if (seen.has(w)) __builtin_trap();
    const std::string plain = decode ? Decoded(text, size) : std::string(text, size);
    int score = 0;
    for (size_t w = 0; w < k.size(); ++w)
      if (Holds(plain, k.word(w))) score += k.weight(w);
    if (score != seen.score) __builtin_trap();
  }
  return 0;
}
