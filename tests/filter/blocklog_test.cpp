// The block log: its lines, its file names and which files are kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    KeepCase{"mossgrave-20201301.log", 1, false}, KeepCase{"mossgrave-20260227.log", -4, true},
    KeepCase{"old\\mossgrave-20200101.log", 1, false}, KeepCase{"mossgrave-20200101.log.txt", 1, false}));

std::vector<std::string>* removed = nullptr;
bool RecordRemoval(const std::string& path) {
  removed->push_back(path);
  return true;
}

struct DeleteCase {
  int keepDays;
  std::vector<std::string> deleted;  // names in the folder
};

class DeleteExpiredTest : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteExpiredTest, RemovesOnlyOldLogFilesOfTheFolder) {
  const std::vector<std::string> names = {"mossgrave-20261211.log", "mossgrave-20261210.log",
                                          "mossgrave-20261204.log", "mossgrave-20251211.log",
                                          "notes.txt",              "mossgrave-2025121.log"};
  std::vector<std::string> got;
  removed = &got;
  const int n = qv::BlockLog::DeleteExpired("C:\\log", names, Day(2026, 12, 11), GetParam().keepDays, RecordRemoval);
  removed = nullptr;
  std::vector<std::string> want;
  for (const std::string& name : GetParam().deleted) want.push_back("C:\\log\\" + name);
  EXPECT_EQ(got, want) << "keep " << GetParam().keepDays;
  EXPECT_EQ(n, static_cast<int>(want.size()));
}

INSTANTIATE_TEST_SUITE_P(KeepDays, DeleteExpiredTest, ::testing::Values(
    DeleteCase{1, {"mossgrave-20261210.log", "mossgrave-20261204.log", "mossgrave-20251211.log"}},
    DeleteCase{2, {"mossgrave-20261204.log", "mossgrave-20251211.log"}},
    DeleteCase{7, {"mossgrave-20261204.log", "mossgrave-20251211.log"}},
    DeleteCase{8, {"mossgrave-20251211.log"}},
    DeleteCase{0, {"mossgrave-20261204.log", "mossgrave-20251211.log"}},  // 0 reads as 3
    DeleteCase{365, {"mossgrave-20251211.log"}},
    DeleteCase{366, {}}));

TEST(BlockLog, DeletesExpiredFilesFromDisk) {
  TempDir dir;
  for (const char* name : {"mossgrave-20261211.log", "mossgrave-20261201.log", "keep.txt"})
    ASSERT_TRUE(WriteFileBytes(dir.file(name), "x\r\n"));
  EXPECT_EQ(qv::BlockLog::DeleteExpired(dir.path(), {"mossgrave-20261211.log", "mossgrave-20261201.log", "keep.txt"},
                                        Day(2026, 12, 11), 3),
            1);
  EXPECT_TRUE(FileIsThere(dir.file("mossgrave-20261211.log")));
  EXPECT_FALSE(FileIsThere(dir.file("mossgrave-20261201.log")));
  EXPECT_TRUE(FileIsThere(dir.file("keep.txt")));
  // A file already gone is not counted.
  EXPECT_EQ(qv::BlockLog::DeleteExpired(dir.path(), {"mossgrave-20261201.log"}, Day(2026, 12, 11), 3), 0);
}

TEST(BlockLog, AppendsToTheDaysFile) {
  TempDir dir;
  ASSERT_TRUE(qv::BlockLog::Append(dir.path(), Day(2026, 12, 11), "a\r\n"));
  ASSERT_TRUE(qv::BlockLog::Append(dir.path(), Day(2026, 12, 11), "b\r\n"));
  EXPECT_EQ(ReadFileBytes(dir.file("mossgrave-20261211.log")), "a\r\nb\r\n");
}

}  // namespace
