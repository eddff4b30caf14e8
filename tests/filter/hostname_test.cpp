// Host names as the filter compares them: every byte value at every place
// of names of the lengths that the eight- and sixteen-byte steps treat
// differently, through the vector and the plain-integer forms alike.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "filter/textnorm.h"

namespace {

bool HostByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c >= 0x80;
}

using Normalize = size_t (*)(const char*, size_t, char*);

class HostNameTest : public ::testing::TestWithParam<std::tuple<Normalize, size_t>> {};

TEST_P(HostNameTest, EachByteAtEachPlace) {
  const Normalize normalize = std::get<0>(GetParam());
  const size_t len = std::get<1>(GetParam());
  std::string base;
  for (size_t i = 0; i < len; ++i) base += "aB3-._\xc9Z"[i % 8];
  for (size_t at = 0; at < len; ++at)
    for (int c = 0; c < 256; ++c) {
      std::string host = base;
      host[at] = static_cast<char>(c);
      char out[qv::kMaxHostLength + 1];
      const size_t n = normalize(host.data(), host.size(), out);
      // A trailing dot is dropped.
      const std::string name = host.back() == '.' ? host.substr(0, host.size() - 1) : host;
      bool ok = !name.empty();
      std::string want;
      for (char ch : name) {
        ok = ok && HostByte(static_cast<unsigned char>(ch));
        want += ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
      }
      if (!ok) {
        ASSERT_EQ(n, 0u) << "byte " << c << " at " << at << " of " << len;
        ASSERT_EQ(out[0], '\0');
      } else {
        ASSERT_EQ(std::string(out, n), want) << "byte " << c << " at " << at << " of " << len;
        ASSERT_EQ(out[n], '\0');
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, HostNameTest,
                         ::testing::Combine(::testing::Values(&qv::NormalizeHost, &qv::NormalizeHostWords),
                                            ::testing::Values(1, 2, 7, 8, 9, 15, 16, 17, 21, 31, 32, 33, 253)));

TEST(HostName, LengthLimits) {
  char out[qv::kMaxHostLength + 1];
  const std::string longest(253, 'a');
  EXPECT_EQ(qv::NormalizeHost(longest.data(), 253, out), 253u);
  EXPECT_EQ(qv::NormalizeHost((longest + ".").data(), 254, out), 253u);
  EXPECT_EQ(qv::NormalizeHost((longest + "a").data(), 254, out), 0u);
  EXPECT_EQ(qv::NormalizeHost("", 0, out), 0u);
  EXPECT_EQ(qv::NormalizeHost(".", 1, out), 0u);
  EXPECT_EQ(qv::NormalizeHost("a..", 3, out), 2u);  // only one trailing dot is dropped
}

}  // namespace
