#include <gtest/gtest.h>
#include "testutil.h"
TEST(Smoke, TempDir) { TempDir d; EXPECT_TRUE(WriteFileBytes(d.file("a"), "x")); EXPECT_EQ(ReadFileBytes(d.file("a")), "x"); }
