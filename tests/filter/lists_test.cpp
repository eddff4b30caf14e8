// The filter's lists: the lines of the list files, parent domain lookup and
// the keyword scores of texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "filter/filterlists.h"
#include "filter/keywordmatcher.h"

namespace {

struct DomainCase {
  const char* line;
  const char* host;
  bool listed;
};

class DomainLineTest : public ::testing::TestWithParam<DomainCase> {};

TEST_P(DomainLineTest, LineAndHost) {
  qv::FilterLists l;
  const std::string text = GetParam().line;
  l.AddDomains(text.data(), text.size(), qv::kListPopup);
  l.Finish();
  const std::string host = GetParam().host;
  EXPECT_EQ(l.HostBits(host.data(), host.size()) == qv::kListPopup, GetParam().listed)
      << GetParam().line << " / " << host;
}

INSTANTIATE_TEST_SUITE_P(Lines, DomainLineTest, ::testing::Values(
    DomainCase{"example.com", "example.com", true}, DomainCase{"example.com", "www.example.com", true},
    DomainCase{"example.com", "a.b.c.example.com", true}, DomainCase{"example.com", "badexample.com", false},
    DomainCase{"example.com", "example.co", false}, DomainCase{"example.com", "example.com.evil.org", false},
    DomainCase{"www.example.com", "example.com", false},
    DomainCase{"*.foo.org", "a.foo.org", true}, DomainCase{"*.foo.org", "foo.org", true},
    DomainCase{".bar.net # note", "x.bar.net", true}, DomainCase{"# bar.net", "bar.net", false},
    DomainCase{"  Upper.COM.  \r", "upper.com", true}, DomainCase{"two.org words after", "two.org", true},
    DomainCase{"bad_host!name", "bad_host!name", false}, DomainCase{"a.com\r\nb.com", "x.b.com", true},
    DomainCase{"com", "anything.com", true}, DomainCase{"x.com", ".x.com", true}));

TEST(DomainList, CountsTheDomainsItTakes) {
  qv::FilterLists l;
  const std::string text = "# list\r\na.com\r\n\r\n*.b.com\nbad!host\n   \n.c.com # c\na.com\n";
  EXPECT_EQ(l.AddDomains(text.data(), text.size(), qv::kListAdult), 4u);
  EXPECT_EQ(l.domainCount(), 3u);  // a.com once
}

TEST(DomainList, TheBitsOfEveryListedParentAreJoined) {
  qv::FilterLists l;
  l.AddDomains("a.com", 5, qv::kListAdult);
  l.AddDomains("b.a.com\nv.com", 13, qv::kListPopup);
  l.AddDomains("a.com", 5, qv::kListVideo);
  l.Finish();
  EXPECT_EQ(l.HostBits("x.b.a.com", 9), qv::kListAdult | qv::kListPopup | qv::kListVideo);
  EXPECT_EQ(l.HostBits("x.a.com", 7), qv::kListAdult | qv::kListVideo);
  EXPECT_EQ(l.HostBits("v.com", 5), qv::kListPopup);
  EXPECT_EQ(l.HostBits("x.com", 5), 0);
  EXPECT_EQ(l.HostBits("", 0), 0);
}

TEST(DomainList, AHostLongerThanANameMayBeIsFoundByItsListedParent) {
  qv::FilterLists l;
  l.AddDomains("beeg.example", 12, qv::kListAdult);
  l.Finish();
  std::string host;
  while (host.size() < 300) host += "abcdefghi.";
  EXPECT_EQ(l.HostBits((host + "beeg.example").data(), host.size() + 12), qv::kListAdult);
  EXPECT_EQ(l.HostBits((host + "other.example").data(), host.size() + 13), 0);
  const std::string oneLabel(300, 'a');
  EXPECT_EQ(l.HostBits(oneLabel.data(), oneLabel.size()), 0);
}

TEST(DomainList, ANameOfEmptyLabelsIsLookedUpWhole) {
  qv::FilterLists l;
  l.AddDomains("a.b", 3, qv::kListAdult);
  l.Finish();
  for (size_t dots = 1; dots <= 253; dots += 9) {
    const std::string host = std::string(dots, '.') + "a.b";
    if (host.size() > 253) break;
    EXPECT_EQ(l.HostBits(host.data(), host.size()), qv::kListAdult) << dots;
    const std::string onlyDots(dots, '.');
    EXPECT_EQ(l.HostBits(onlyDots.data(), onlyDots.size()), 0) << dots;
  }
}

TEST(DomainList, TheShippedListFilesAreRead) {
  qv::FilterLists l;
  EXPECT_EQ(l.AddDirectory(MOSSGRAVE_FILTER_LISTS), 4);
  l.Finish();
  EXPECT_EQ(l.HostBits("ad.doubleclick.net", 18), qv::kListPopup);
  EXPECT_EQ(l.HostBits("www.youtube.com", 15), qv::kListVideo);
  EXPECT_GT(l.keywords().size(), 0u);
  qv::FilterLists none;
  EXPECT_EQ(none.AddDirectory("Z:\\no\\such\\folder"), 0);
  EXPECT_EQ(none.AddDirectory(""), 0);
}

struct KeywordLineCase {
  std::string line;
  const char* word;  // nullptr: not taken
  int weight;
};

class KeywordLineTest : public ::testing::TestWithParam<KeywordLineCase> {};

TEST_P(KeywordLineTest, WordAndWeight) {
  qv::FilterLists l;
  const std::string text = GetParam().line;
  const size_t taken = l.AddKeywords(text.data(), text.size());
  if (!GetParam().word) {
    EXPECT_EQ(taken, 0u) << text;
    return;
  }
  ASSERT_EQ(taken, 1u) << text;
  EXPECT_EQ(l.keywords().word(0), GetParam().word);
  EXPECT_EQ(l.keywords().weight(0), GetParam().weight);
}

INSTANTIATE_TEST_SUITE_P(Lines, KeywordLineTest, ::testing::Values(
    KeywordLineCase{"porn 60", "porn", 60}, KeywordLineCase{"Porn\t 60 \r", "porn", 60},
    KeywordLineCase{"nude", "nude", qv::FilterLists::kDefaultKeywordWeight},
    KeywordLineCase{"essex -30", "essex", -30}, KeywordLineCase{"w +7", "w", 7},
    KeywordLineCase{"two words 15", "two words", 15}, KeywordLineCase{"xx 1234567", "xx 1234567", 30},
    KeywordLineCase{"word 12a", "word 12a", 30}, KeywordLineCase{"zero 0", nullptr, 0},
    KeywordLineCase{"# porn 60", nullptr, 0}, KeywordLineCase{"   ", nullptr, 0},
    KeywordLineCase{"sex 30 # said twice", "sex", 30},
    KeywordLineCase{std::string(65, 'a') + " 5", nullptr, 0}));

// Keywords: sex 30, essex -30, xx 5, x 1, and a long one of 64 bytes.
const std::string kLong(64, 'q');

qv::KeywordMatcher Matcher() {
  qv::KeywordMatcher m;
  m.Add("sex", 3, 30);
  m.Add("ESSEX", 5, -30);
  m.Add("xx", 2, 5);
  m.Add("x", 1, 1);
  m.Add(kLong.data(), kLong.size(), 10);
  m.Build();
  return m;
}

struct ScanCase {
  std::string text;
  bool decode;
  int score;
};

class KeywordScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(KeywordScanTest, EachKeywordOnce) {
  const qv::KeywordMatcher m = Matcher();
  qv::KeywordMatcher::Seen seen;
  m.Scan(GetParam().text.data(), GetParam().text.size(), GetParam().decode, &seen);
  EXPECT_EQ(seen.score, GetParam().score) << GetParam().text.substr(0, 80);
}

INSTANTIATE_TEST_SUITE_P(Texts, KeywordScanTest, ::testing::Values(
    ScanCase{"", false, 0}, ScanCase{"s", false, 0}, ScanCase{"x", false, 1}, ScanCase{"xx", false, 6},
    ScanCase{"xxxxxx", false, 6}, ScanCase{"sex", false, 31}, ScanCase{"SeX", false, 31},
    ScanCase{"essex", false, 1}, ScanCase{"sex-essex", false, 1}, ScanCase{"se", false, 0},
    ScanCase{"%73ex", false, 1}, ScanCase{"%73ex", true, 31}, ScanCase{"%53%45%58", true, 31},
    ScanCase{"se%7", true, 0}, ScanCase{"se%zzx", true, 1}, ScanCase{"%", true, 0},
    ScanCase{std::string(63, 'q'), false, 0}, ScanCase{std::string(64, 'Q'), false, 10},
    // Decoded text is scanned in pieces: keywords before, across and after the seams.
    ScanCase{std::string(510, '-') + "sex" + std::string(100, '-'), true, 31},
    ScanCase{std::string(512, '-') + "sex" + std::string(100, '-'), true, 31},
    ScanCase{std::string(511, '-') + kLong + std::string(100, '-'), true, 10},
    ScanCase{std::string(513, '-') + kLong + std::string(100, '-'), true, 10},
    ScanCase{std::string(1000, '-') + kLong, true, 10}, ScanCase{std::string(1023, '-') + "sex", true, 31},
    ScanCase{std::string(3000, '-') + "s%65x", true, 31}, ScanCase{std::string(700, 'q'), true, 10}));

std::string Encoded(const std::string& s) {
  std::string out;
  for (char c : s) {
    char hex[4];
    snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
    out += hex;
  }
  return out;
}

TEST(KeywordScan, EncodedTextFindsWhatPlainTextFinds) {
  const qv::KeywordMatcher m = Matcher();
  for (size_t pad = 480; pad < 530; ++pad) {
    const std::string plain = std::string(pad, '-') + "sex" + std::string(pad % 7, '-') + kLong;
    qv::KeywordMatcher::Seen a, b;
    m.Scan(plain.data(), plain.size(), false, &a);
    const std::string enc = Encoded(plain);
    m.Scan(enc.data(), enc.size(), true, &b);
    EXPECT_EQ(a.score, 41) << pad;
    EXPECT_EQ(b.score, a.score) << pad;
  }
}

TEST(KeywordScan, SeenKeywordsCountOnceAcrossTexts) {
  const qv::KeywordMatcher m = Matcher();
  qv::KeywordMatcher::Seen seen;
  m.Scan("sex", 3, false, &seen);
  m.Scan("/sex/x", 6, true, &seen);
  EXPECT_EQ(seen.score, 31);
}

TEST(KeywordScan, NoKeywordsOrNotBuiltFindsNothing) {
  qv::KeywordMatcher empty;
  qv::KeywordMatcher::Seen seen;
  empty.Build();
  empty.Scan("sex", 3, false, &seen);
  qv::KeywordMatcher unbuilt;
  unbuilt.Add("sex", 3, 30);
  unbuilt.Scan("sex", 3, true, &seen);
  EXPECT_EQ(seen.score, 0);
}

}  // namespace
