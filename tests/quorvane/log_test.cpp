// The block log written by Quorvane.dll: a line per block, the same block
// repeated in a loop written once.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "traffic.h"

using namespace qvtest;

namespace {

std::string TodaysLog() {
  char base[MAX_PATH] = {};
  GetEnvironmentVariableA("ProgramData", base, MAX_PATH);
  SYSTEMTIME t;
  GetLocalTime(&t);
  char name[64];
  snprintf(name, sizeof name, "\\Mossgrave\\log\\mossgrave-%04d%02d%02d.log", t.wYear, t.wMonth, t.wDay);
  return std::string(base) + name;
}

std::vector<std::string> LinesWith(const std::string& path, const std::string& part) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> out;
  std::string line;
  while (std::getline(in, line))
    if (line.find(part) != std::string::npos) out.push_back(line);
  return out;
}

// WSAECONNREFUSED, 0 when the connection was made, or another error.
int ConnectOnce(Host& h, unsigned short port) {
  int err = 0;
  SOCKET s = h.Socket(SOCK_STREAM, IPPROTO_TCP, &err);
  if (s == INVALID_SOCKET) return err;
  sockaddr_in a = RemoteAddress(port);
  const int rc =
      h.T().lpWSPConnect(s, reinterpret_cast<sockaddr*>(&a), sizeof a, nullptr, nullptr, nullptr, nullptr, &err);
  int ignored = 0;
  h.T().lpWSPCloseSocket(s, &ignored);
  return rc == 0 ? 0 : err;
}

TEST(BlockLog, EachBlockIsOneLineAndALoopOfTheSameBlockOne) {
  Server server;
  Host& h = Layered();
  const std::string where = std::string(kRemoteHost) + ":" + std::to_string(server.port());
  const struct {
    const char* what;
    bool log;
    size_t lines;
  } cases[] = {{"log off", false, 0}, {"log on", true, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string exe = "quorvane_tests.exe";
    // The block itself may already stand from the case before.
    UseSettings(SettingsWith(std::string("Enable log:") + (c.log ? "1" : "0") + "\r\nTalk limit name:" + exe +
                             "\r\n"));
    int rc = 0;
    for (int i = 0; i < 60 && (rc = ConnectOnce(h, server.port())) != WSAECONNREFUSED; ++i) Sleep(100);
    ASSERT_EQ(rc, WSAECONNREFUSED);
    const size_t before = LinesWith(TodaysLog(), "\tchat\t" + where).size();
    for (int i = 0; i < 25; ++i) EXPECT_EQ(ConnectOnce(h, server.port()), WSAECONNREFUSED);
    const std::vector<std::string> lines = LinesWith(TodaysLog(), "\tchat\t" + where);
    if (!c.log) {
      EXPECT_EQ(lines.size(), before) << "nothing written while the log is off";
      continue;
    }
    ASSERT_GE(lines.size(), 1u);
    EXPECT_LE(lines.size(), before + 1) << "a loop of the same block is one line";
    const std::string& line = lines.back();
    EXPECT_NE(line.find(exe), std::string::npos) << line;
    EXPECT_EQ(line.size() > 19 ? line.substr(19, 1) : "", "\t") << "time first: " << line;
  }
  UseSettings("");
}

}  // namespace
