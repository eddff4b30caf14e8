// Traffic through Quorvane.dll over the test base provider, with no restriction set.
#include <gtest/gtest.h>

#include "traffic.h"

using namespace qvtest;

namespace {

TEST(Passthrough, BlockingConnectionCarriesDataBothWays) {
  UseSettings("");
  Server server;
  Host& h = Layered();
  int err = 0;
  SOCKET s = h.Socket(SOCK_STREAM, IPPROTO_TCP, &err);
  ASSERT_NE(s, INVALID_SOCKET) << err;
  sockaddr_in a = RemoteAddress(server.port());
  ASSERT_EQ(0, h.T().lpWSPConnect(s, reinterpret_cast<sockaddr*>(&a), sizeof a, nullptr, nullptr, nullptr,
                                  nullptr, &err)) << err;
  char msg[] = "hello through the layer";
  WSABUF b = {sizeof msg - 1, msg};
  DWORD n = 0;
  ASSERT_EQ(0, h.T().lpWSPSend(s, &b, 1, &n, 0, nullptr, nullptr, nullptr, &err)) << err;
  char got[64] = {};
  WSABUF r = {sizeof got, got};
  DWORD flags = 0, total = 0;
  while (total < sizeof msg - 1) {
    r.buf = got + total;
    r.len = sizeof got - total;
    ASSERT_EQ(0, h.T().lpWSPRecv(s, &r, 1, &n, &flags, nullptr, nullptr, nullptr, &err)) << err;
    ASSERT_GT(n, 0u);
    total += n;
  }
  EXPECT_STREQ(msg, got);
  ASSERT_EQ(0, h.T().lpWSPCloseSocket(s, &err));
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(0, socks);
  EXPECT_EQ(0, h.T().lpWSPCloseSocket(s, &err) == 0 ? 1 : 0);
}

}  // namespace
