// The list file parser (domain and keyword lists of the program folder)
// over any bytes: a whole text reads as its lines read one by one, and a
// plain domain line is found again by the lookup.
#include <cstdint>
#include <cstring>

#include "filter/filterlists.h"
#include "filter/textnorm.h"

namespace {

bool PlainDomainLine(const char* s, size_t n) {
  if (n == 0 || s[0] == '.' || s[0] == '*') return false;
  for (size_t i = 0; i < n; ++i)
    if (s[i] == '#' || s[i] == ' ' || s[i] == '\t' || s[i] == '\r') return false;
  return true;
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

  // Lookups and scans of the same bytes stay within them.
  whole.HostBits(text, size);
  for (bool decode : {false, true}) {
    qv::KeywordMatcher::Seen seen;
    whole.keywords().Scan(text, size, decode, &seen);
    for (size_t k = whole.keywords().size(); k < qv::KeywordMatcher::kMaxKeywords; ++k)
      if (seen.bits[k / 64] >> (k % 64) & 1) __builtin_trap();
  }
  return 0;
}
