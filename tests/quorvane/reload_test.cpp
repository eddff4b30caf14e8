// A change of the settings file reaches programs that are already running:
// the library notices it within about a second.
#include <gtest/gtest.h>

#include <string>

#include "traffic.h"

using namespace qvtest;

namespace {

// Whether a new connection's request for a banned host gets the block page.
bool Blocked(unsigned short port) {
  Client c;
  if (c.Connect(port) != 0) return false;
  if (c.Send("GET / HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n") != 0) return false;
  int err = 0;
  return c.Receive(12, &err) == "HTTP/1.1 403";
}

// Polls for up to three seconds; the library promises one.
bool BecomesBlocked(unsigned short port, bool blocked) {
  for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 3000; Sleep(50))
    if (Blocked(port) == blocked) return true;
  return false;
}

TEST(SettingsChange, ReachesTheRunningProgram) {
  const std::string on = SettingsWith("Enable adult filter:1\r\n");
  const std::string off = SettingsWith("Enable adult filter:0\r\n");  // the same length as on
  ASSERT_EQ(on.size(), off.size());
  struct Step {
    const char* what;
    const std::string* text;  // null: the file removed
    bool blocked;
  } steps[] = {
      {"switched on", &on, true},
      {"switched off, same size", &off, false},
      {"on again", &on, true},
      {"file removed", nullptr, false},
      {"file back", &on, true},
  };
  Server server;
  UseSettings(off);
  ASSERT_FALSE(Blocked(server.port()));
  for (const Step& s : steps) {
    ChangeSettings(s.text ? *s.text : std::string());
    EXPECT_TRUE(BecomesBlocked(server.port(), s.blocked)) << s.what;
  }
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
}

}  // namespace
