// The filter's lists: banned adult domains, pop-up and advert hosts,
// streaming hosts and weighted adult keywords. Built once, from the
// built-in lists and the list files of the program folder, then only read
// (by any number of threads).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "filter/hostcache.h"
#include "filter/keywordmatcher.h"
#include "filter/stringtable.h"

namespace qv {

enum ListBits : uint16_t {
  kListAdult = 1,
  kListPopup = 2,
  kListVideo = 4,
};

// The list files the installer ships, in the list folder.
extern const char kAdultDomainsFile[];   // "adult_domains.txt"
extern const char kAdultKeywordsFile[];  // "adult_keywords.txt"
extern const char kPopupHostsFile[];     // "popup_hosts.txt"
extern const char kVideoHostsFile[];     // "video_hosts.txt"

// Keyword scores at which the adult filter blocks, by degree.
constexpr int kAdultScoreHigh = 60;
constexpr int kAdultScoreMedium = 120;

class FilterLists {
 public:
  // Lines of a domain list: one domain a line ("example.com", also
  // "*.example.com" or ".example.com"); '#' starts a comment; CR LF or LF.
  // Answers the number of domains taken.
  size_t AddDomains(const char* text, size_t n, uint16_t bits);
  // Lines of a keyword list: the keyword, white space, its weight (a whole
  // number, negative for a harmless word holding a scored one). A line
  // without a weight gets kDefaultKeywordWeight.
  static constexpr int kDefaultKeywordWeight = 30;
  size_t AddKeywords(const char* text, size_t n);
  // Reads the four list files of a folder (a missing file adds nothing).
  // Answers how many of them were read.
  int AddDirectory(const std::string& folder);
  void AddBuiltin();
  // Call once, after all Add calls and before any lookup.
  void Finish() {
    keywords_.Build();
    cache_.Clear();
  }

  // The bits of the host and of every parent domain of it, ORed.
  uint16_t HostBits(const char* host, size_t n) const;
  // The same for a name of at most kMaxHostLength bytes followed by
  // kHashPadding zero bytes.
  uint16_t HostBitsPadded(const char* host, size_t n) const;
  // For a padded name as HostBitsPadded takes: its bits and, with
  // wantScore, the keyword score of the name alone, from the cache of
  // recent names where they are in it (safe from any number of threads).
  HostFacts HostFactsPadded(const char* host, size_t n, bool wantScore) const;
  const KeywordMatcher& keywords() const { return keywords_; }
  size_t domainCount() const { return domains_.size(); }

  // The built-in lists alone, made at the first call.
  static std::shared_ptr<const FilterLists> Builtin();

 private:
  StringTable domains_;
  KeywordMatcher keywords_;
  HostCache cache_;
};

// The whole of a file, at most maxBytes of it; false when it cannot be read.
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::string* out);

}  // namespace qv
