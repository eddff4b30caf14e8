// The block log: its lines, its file names and which files are kept.
#include <gtest/gtest.h>

#include "filter/blocklog.h"
#include "testutil.h"

namespace {

qv::LocalTime Day(int y, int m, int d) {
  qv::LocalTime t;
  t.year = y, t.month = m, t.day = d;
  t.hour = 8, t.minute = 1, t.second = 2;
  return t;
}

TEST(BlockLog, OneLineWithHostOrAddress) {
  qv::Verdict v;
  v.block = true;
  v.reason = qv::Reason::kAdult;
  v.host = "www.beeg.com";
  qv::Address a;
  a.family = 4;
  a.bytes[0] = 93, a.bytes[1] = 184, a.bytes[2] = 216, a.bytes[3] = 34;
  a.port = 443;
  EXPECT_EQ(qv::BlockLog::FormatLine(Day(2026, 12, 11), "C:\\b\\b.exe", v, a),
            "2026-12-11 08:01:02\tC:\\b\\b.exe\tadult\twww.beeg.com\r\n");
  v.host.clear();
  v.reason = qv::Reason::kTime;
  EXPECT_EQ(qv::BlockLog::FormatLine(Day(2026, 12, 11), "C:\\b\\b.exe", v, a),
            "2026-12-11 08:01:02\tC:\\b\\b.exe\ttime\t93.184.216.34:443\r\n");
  v.host = "evil\r\nline";
  EXPECT_EQ(qv::BlockLog::FormatLine(Day(2026, 12, 11), "x", v, a).find("\r\nline"), std::string::npos);
}

struct KeepCase {
  const char* name;
  int keepDays;
  bool expired;
};

class RetentionTest : public ::testing::TestWithParam<KeepCase> {};

TEST_P(RetentionTest, OlderThanTheKeepTime) {
  const auto out = qv::BlockLog::Expired({GetParam().name}, Day(2026, 3, 2), GetParam().keepDays);
  EXPECT_EQ(!out.empty(), GetParam().expired) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Cases, RetentionTest, ::testing::Values(
    KeepCase{"mossgrave-20260302.log", 1, false}, KeepCase{"mossgrave-20260301.log", 1, true},
    KeepCase{"mossgrave-20260228.log", 3, false}, KeepCase{"mossgrave-20260227.log", 3, true},  // across February
    KeepCase{"mossgrave-20251231.log", 62, false}, KeepCase{"mossgrave-20251230.log", 62, true},
    KeepCase{"mossgrave-20260227.log", 0, true}, KeepCase{"mossgrave-20260228.log", 0, false},  // 0 reads as 3
    KeepCase{"mossgrave-20260310.log", 3, false},  // a later date (clock put back) is kept
    KeepCase{"notes-20200101.log", 1, false}, KeepCase{"mossgrave-2020010x.log", 1, false},
    KeepCase{"mossgrave-20201301.log", 1, false}));

TEST(BlockLog, AppendsToTheDaysFile) {
  TempDir dir;
  ASSERT_TRUE(qv::BlockLog::Append(dir.path(), Day(2026, 12, 11), "a\r\n"));
  ASSERT_TRUE(qv::BlockLog::Append(dir.path(), Day(2026, 12, 11), "b\r\n"));
  EXPECT_EQ(ReadFileBytes(dir.file("mossgrave-20261211.log")), "a\r\nb\r\n");
}

}  // namespace
