// The filter's answer for one connection, datagram or first send: the host's
// program, the local time and the settings file, put to the decision engine.
#pragma once
#include <winsock2.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane {

enum class Proto { kTcp, kUdp, kRaw };

struct Answer {
  bool block = false;
  bool http = false;  // a plain HTTP request: page holds the 403 answer
  bool request = false;  // the bytes were a plain HTTP request, blocked or not
  std::string page;
};

// Never throws; any failure inside answers "allow".
Answer Decide(Proto proto, const sockaddr* remote, int remoteLength, const uint8_t* data,
              size_t length);

}  // namespace quorvane
