#include "filter/filterlists.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "filter/builtinlists.h"
#include "filter/textnorm.h"

namespace qv {

const char kAdultDomainsFile[] = "adult_domains.txt";
const char kAdultKeywordsFile[] = "adult_keywords.txt";
const char kPopupHostsFile[] = "popup_hosts.txt";
const char kVideoHostsFile[] = "video_hosts.txt";

namespace {

// The index of the lowest set bit of a non-zero word.
inline unsigned LowestBit(uint64_t x) {
#if defined(__GNUC__)
  return static_cast<unsigned>(__builtin_ctzll(x));
#else
  unsigned i = 0;
  while (!(x & 1)) x >>= 1, ++i;
  return i;
#endif
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Calls take(begin, length) for the content of each line: comment and
// surrounding white space removed, empty lines skipped.
template <typename Take>
void ForEachLine(const char* text, size_t n, Take take) {
  size_t i = 0;
  while (i < n) {
    size_t e = i;
    while (e < n && text[e] != '\n') ++e;
    size_t b = i, end = e;
    for (size_t k = b; k < end; ++k)
      if (text[k] == '#') {
        end = k;
        break;
      }
    while (b < end && IsBlank(text[b])) ++b;
    while (end > b && IsBlank(text[end - 1])) --end;
    if (end > b) take(text + b, end - b);
    i = e + 1;
  }
}

// A whole number of at most 6 digits with an optional sign; false otherwise.
bool ParseWeight(const char* s, size_t n, int* out) {
  if (n == 0) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') negative = s[i++] == '-';
  if (i == n || n - i > 6) return false;
  int v = 0;
  for (; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  *out = negative ? -v : v;
  return true;
}

}  // namespace

size_t FilterLists::AddDomains(const char* text, size_t n, uint16_t bits) {
  size_t taken = 0;
  ForEachLine(text, n, [&](const char* line, size_t len) {
    size_t tok = 0;
    while (tok < len && !IsBlank(line[tok])) ++tok;  // the first word; the rest is ignored
    if (tok >= 2 && line[0] == '*' && line[1] == '.') line += 2, tok -= 2;
    else if (tok >= 1 && line[0] == '.') line += 1, tok -= 1;
    char host[kMaxHostLength + 1];
    const size_t h = NormalizeHost(line, tok, host);
    if (h == 0) return;
    domains_.Insert(HashHostName(host, h), host, h, bits);
    ++taken;
  });
  return taken;
}

size_t FilterLists::AddKeywords(const char* text, size_t n) {
  size_t taken = 0;
  ForEachLine(text, n, [&](const char* line, size_t len) {
    int weight = kDefaultKeywordWeight;
    size_t wordEnd = len;
    size_t k = len;
    while (k > 0 && !IsBlank(line[k - 1])) --k;
    if (k > 0 && ParseWeight(line + k, len - k, &weight)) {
      wordEnd = k;
      while (wordEnd > 0 && IsBlank(line[wordEnd - 1])) --wordEnd;
    }
    const size_t before = keywords_.size();
    keywords_.Add(line, wordEnd, weight);
    if (keywords_.size() > before) ++taken;
  });
  return taken;
}

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::string* out) {
  out->clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[8192];
  bool ok = true;
  while (out->size() < maxBytes) {
    const size_t want = maxBytes - out->size() < sizeof buf ? maxBytes - out->size() : sizeof buf;
    const size_t got = fread(buf, 1, want, f);
    out->append(buf, got);
    if (got < want) {
      ok = !ferror(f);
      break;
    }
  }
  fclose(f);
  return ok;
}

int FilterLists::AddDirectory(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string base = folder;
  if (base.back() != '\\' && base.back() != '/') base += '\\';
  constexpr size_t kMaxListBytes = 32u << 20;
  int read = 0;
  std::string text;
  const struct {
    const char* name;
    uint16_t bits;
  } domainFiles[] = {{kAdultDomainsFile, kListAdult}, {kPopupHostsFile, kListPopup}, {kVideoHostsFile, kListVideo}};
  for (const auto& f : domainFiles) {
    if (!ReadWholeFile(base + f.name, kMaxListBytes, &text)) continue;
    AddDomains(text.data(), text.size(), f.bits);
    ++read;
  }
  if (ReadWholeFile(base + kAdultKeywordsFile, kMaxListBytes, &text)) {
    AddKeywords(text.data(), text.size());
    ++read;
  }
  return read;
}

void FilterLists::AddBuiltin() {
  AddDomains(kBuiltinAdultDomains, strlen(kBuiltinAdultDomains), kListAdult);
  AddDomains(kBuiltinPopupHosts, strlen(kBuiltinPopupHosts), kListPopup);
  AddDomains(kBuiltinVideoHosts, strlen(kBuiltinVideoHosts), kListVideo);
  AddKeywords(kBuiltinAdultKeywords, strlen(kBuiltinAdultKeywords));
}

uint16_t FilterLists::HostBits(const char* host, size_t n) const {
  if (n > kMaxHostLength) {  // only parent domains short enough can be listed
    const size_t from = n - kMaxHostLength - 1;
    const void* dot = memchr(host + from, '.', n - from);
    if (!dot) return 0;
    const size_t at = static_cast<size_t>(static_cast<const char*>(dot) - host) + 1;
    host += at, n -= at;
  }
  if (n == 0) return 0;
  char padded[kMaxHostLength + kHashPadding];
  memcpy(padded, host, n);
  memset(padded + n, 0, kHashPadding);
  return HostBitsPadded(padded, n);
}


HostFacts FilterLists::HostFactsPadded(const char* host, size_t n, bool wantScore) const {
  const uint64_t key = HostCache::Hash(host, n);
  {
    HostFacts kept;
    if (cache_.Find(key, host, n, &kept) && (kept.scored || !wantScore)) return kept;
  }
  HostFacts facts;
  facts.bits = HostBitsPadded(host, n);
  if (wantScore) {
    KeywordMatcher::Seen seen;
    keywords_.ScanLower(host, n, &seen);
    facts.score = seen.score;
    facts.scored = true;
  }
  cache_.Put(key, host, n, facts);
  return facts;
}

uint16_t FilterLists::HostBitsPadded(const char* host, size_t n) const {
  // Where the name and each parent domain start: at 0 and after each dot,
  // found 8 bytes at a time (the padding makes reads up to n + 8 safe).
  uint8_t starts[kMaxHostLength + 1];  // a name of dots alone has a start at each byte
  size_t count = 0;
  starts[count++] = 0;
  for (size_t at = 0; at < n; at += 8) {
    uint64_t w;
    memcpy(&w, host + at, 8);
    const uint64_t x = w ^ 0x2E2E2E2E2E2E2E2Eull;  // a dot becomes a zero byte
    uint64_t dots = ~(((x & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | x | 0x7F7F7F7F7F7F7F7Full);
    while (dots) {
      const size_t next = at + (LowestBit(dots) >> 3) + 1;
      if (next < n) starts[count++] = static_cast<uint8_t>(next);
      dots &= dots - 1;
    }
  }
  // The hashes first, independent of each other, then the lookups.
  uint64_t hashes[kMaxHostLength + 1];
  for (size_t i = 0; i < count; ++i) hashes[i] = HashPadded(host + starts[i], n - starts[i]);
  uint16_t bits = 0;
  for (size_t i = 0; i < count; ++i) bits |= domains_.Find(hashes[i], host + starts[i], n - starts[i]);
  return bits;
}

std::shared_ptr<const FilterLists> FilterLists::Builtin() {
  static std::once_flag once;
  static std::shared_ptr<const FilterLists> lists;
  std::call_once(once, [] {
    auto l = std::make_shared<FilterLists>();
    l->AddBuiltin();
    l->Finish();
    lists = l;
  });
  return lists;
}

}  // namespace qv
