// The reload helper: re-read only on a change, at most once a second.
#include <gtest/gtest.h>

#include "filter/settingsreload.h"

namespace {

struct FakeFile {
  bool present = true;
  uint64_t size = 100;
  int64_t mtime = 5;
  int stats = 0;
};

bool StatFake(void* ctx, uint64_t* size, int64_t* mtime) {
  FakeFile* f = static_cast<FakeFile*>(ctx);
  ++f->stats;
  *size = f->size;
  *mtime = f->mtime;
  return f->present;
}

TEST(SettingsReload, OnlyOnChangeAndAtMostOnceASecond) {
  FakeFile f;
  qv::SettingsReload r(StatFake, &f);
  EXPECT_TRUE(r.ShouldReload(10000));
  EXPECT_FALSE(r.ShouldReload(10500));  // within the second: not even a stat
  EXPECT_EQ(f.stats, 1);
  EXPECT_FALSE(r.ShouldReload(11000));  // unchanged
  f.mtime = 6;
  EXPECT_FALSE(r.ShouldReload(11999));
  EXPECT_TRUE(r.ShouldReload(12000));
  f.size = 101;
  EXPECT_TRUE(r.ShouldReload(13000));
  f.present = false;
  EXPECT_TRUE(r.ShouldReload(14000));  // gone: read (and find no restriction)
  EXPECT_FALSE(r.ShouldReload(15000));
  f.present = true;
  EXPECT_TRUE(r.ShouldReload(16000));
}

TEST(SettingsReload, AFailedReadIsTriedAgainASecondLater) {
  FakeFile f;
  qv::SettingsReload r(StatFake, &f);
  EXPECT_TRUE(r.ShouldReload(0));
  r.ReadFailed();
  EXPECT_FALSE(r.ShouldReload(500));
  EXPECT_TRUE(r.ShouldReload(1000));
  EXPECT_FALSE(r.ShouldReload(2000));
}

}  // namespace
