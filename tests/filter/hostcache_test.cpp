// The cache of recent host names: what it answers is what the lists
// answer, whichever names meet in one entry, with or without a score, and
// from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "filter/filterlists.h"
#include "filter/textnorm.h"

namespace {

// A name in a buffer with the zero bytes a padded lookup needs.
struct Padded {
  char text[qv::kMaxHostLength + qv::kHashPadding] = {};
  size_t length = 0;
  explicit Padded(const std::string& s) {
    length = s.size();
    memcpy(text, s.data(), s.size());
  }
};

struct Expected {
  uint16_t bits;
  int score;
};

class HostCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string adult = "banned.example\nbad.test\n";
    const std::string popup = "ads.example\n";
    const std::string video = "tube.example\nbad.test\n";
    const std::string words = "porn 60\nsex 30\nxxx 40\nsussex -30\n";
    lists_.AddDomains(adult.data(), adult.size(), qv::kListAdult);
    lists_.AddDomains(popup.data(), popup.size(), qv::kListPopup);
    lists_.AddDomains(video.data(), video.size(), qv::kListVideo);
    lists_.AddKeywords(words.data(), words.size());
    lists_.Finish();
    // Many more names than entries, of every length around the longest
    // kept one, listed, under a listed parent, with keywords, or plain.
    const char* const parents[] = {"banned.example", "bad.test", "ads.example", "tube.example", "plain.example",
                                   "sussex.example", "xxx",      "porn.org",    "a"};
    for (int i = 0; i < 1200; ++i) {
      std::string name = std::string(i % 7, 'w') + std::to_string(i) + (i % 3 ? "sex." : ".");
      name += parents[i % 9];
      if (i % 50 == 0) name = std::string(qv::HostCache::kMaxName - 1 + i % 3, 'q');  // 47, 48, 49 bytes
      names_.emplace_back(name);
    }
    for (const Padded& p : names_) {
      qv::KeywordMatcher::Seen seen;
      lists_.keywords().ScanLower(p.text, p.length, &seen);
      expected_.push_back({lists_.HostBitsPadded(p.text, p.length), seen.score});
    }
  }

  // Whether the cached answer for name k is the lists' own.
  bool Right(size_t k, bool wantScore) const {
    const qv::HostFacts f = lists_.HostFactsPadded(names_[k].text, names_[k].length, wantScore);
    if (f.bits != expected_[k].bits) return false;
    return !wantScore || (f.scored && f.score == expected_[k].score);
  }

  qv::FilterLists lists_;
  std::vector<Padded> names_;
  std::vector<Expected> expected_;
};

TEST_F(HostCacheTest, AnswersWhatTheListsAnswer) {
  // Twice in order and once backwards, so names meet their own entry and
  // the ones that took it meanwhile; the score asked for every other time,
  // so that a name kept without it is worked out again.
  for (int pass = 0; pass < 3; ++pass)
    for (size_t i = 0; i < names_.size(); ++i) {
      const size_t k = pass == 2 ? names_.size() - 1 - i : i;
      const bool wantScore = (k + pass) % 2 == 0;
      ASSERT_TRUE(Right(k, wantScore)) << names_[k].text << " pass " << pass;
      ASSERT_TRUE(Right(k, true)) << names_[k].text << " again, pass " << pass;
    }
}

TEST_F(HostCacheTest, ThreadsMeetingInTheSameEntriesAgree) {
  // Names that all fall into one entry, with different answers, so that
  // nearly every lookup meets another thread's write there.
  std::vector<size_t> crowd;
  const uint64_t slot = qv::HostCache::Hash(names_[1].text, names_[1].length) % qv::HostCache::kEntries;
  for (size_t k = 0; k < names_.size() && crowd.size() < 6; ++k)
    if (qv::HostCache::Hash(names_[k].text, names_[k].length) % qv::HostCache::kEntries == slot) crowd.push_back(k);
  ASSERT_GE(crowd.size(), 3u);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t, &crowd, &wrong] {
      for (size_t i = 0; i < 100000; ++i) {
        const size_t k = crowd[(i * (2 * t + 1) + t) % crowd.size()];
        if (!Right(k, (i + t) % 3 != 0)) wrong.fetch_add(1);
      }
    });
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(HostCacheTest, NewListsStartWithNothingKept) {
  ASSERT_TRUE(Right(0, true));
  // The same name under lists that list it differently.
  qv::FilterLists other;
  const std::string text(names_[0].text, names_[0].length);
  other.AddDomains(text.data(), text.size(), qv::kListVideo);
  other.Finish();
  EXPECT_EQ(other.HostFactsPadded(names_[0].text, names_[0].length, false).bits, qv::kListVideo);
  EXPECT_TRUE(Right(0, true));
}

}  // namespace
