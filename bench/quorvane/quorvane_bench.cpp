// Quorvane.dll against the bare test base provider, in the same run and the
// same process: bulk throughput over loopback TCP and the time from connect
// to the first byte of the answer. Rounds alternate between the two.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../benchtime.h"
#include "testhost.h"

using namespace qvtest;

namespace {

// Takes one connection at a time and counts what arrives until the sender
// shuts its side; the count is then handed over through an event.
class Sink {
 public:
  Sink() {
    listen_ = BindLoopback(SOCK_STREAM, IPPROTO_TCP, &port_);
    listen(listen_, 8);
    done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
  }
  ~Sink() {
    stop_ = true;
    closesocket(listen_);
    thread_.join();
    CloseHandle(done_);
  }
  unsigned short port() const { return port_; }
  // The bytes of the last connection, once it has ended; -1 on time-out.
  long long WaitDone(DWORD ms) { return WaitForSingleObject(done_, ms) == WAIT_OBJECT_0 ? last_.load() : -1; }

 private:
  void Run() {
    std::vector<char> buf(256 * 1024);
    while (!stop_) {
      SOCKET c = accept(listen_, nullptr, nullptr);
      if (c == INVALID_SOCKET) continue;
      long long total = 0;
      for (;;) {
        int n = recv(c, buf.data(), static_cast<int>(buf.size()), 0);
        if (n <= 0) break;
        total += n;
      }
      closesocket(c);
      last_ = total;
      SetEvent(done_);
    }
  }
  SOCKET listen_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  HANDLE done_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<long long> last_{0};
};

// What a program sends first: a plain HTTP request, so the filter reads it.
std::string FirstBytes(size_t size) {
  std::string s =
      "POST /upload HTTP/1.1\r\nHost: files.example.org\r\nContent-Type: application/octet-stream\r\n"
      "Content-Length: 104857600\r\n\r\n";
  s.resize(size, 'x');
  return s;
}

// Seconds to send `bytes` and have the sink count them all; <0 on failure.
double Throughput(Host& h, Sink& sink, long long bytes) {
  int err = 0;
  SOCKET s = h.Socket(SOCK_STREAM, IPPROTO_TCP, &err);
  if (s == INVALID_SOCKET) return -1;
  std::string chunk = FirstBytes(64 * 1024);
  sockaddr_in a = RemoteAddress(sink.port());
  const double t0 = Now();
  if (h.T().lpWSPConnect(s, reinterpret_cast<sockaddr*>(&a), sizeof a, nullptr, nullptr, nullptr, nullptr, &err)) {
    h.T().lpWSPCloseSocket(s, &err);
    return -1;
  }
  long long sent = 0;
  while (sent < bytes) {
    WSABUF b = {static_cast<ULONG>(std::min<long long>(static_cast<long long>(chunk.size()), bytes - sent)),
                &chunk[0]};
    DWORD n = 0;
    if (h.T().lpWSPSend(s, &b, 1, &n, 0, nullptr, nullptr, nullptr, &err) || n == 0) {
      h.T().lpWSPCloseSocket(s, &err);
      return -1;
    }
    sent += n;
  }
  h.T().lpWSPShutdown(s, SD_SEND, &err);
  const long long got = sink.WaitDone(120000);
  const double t = Now() - t0;
  h.T().lpWSPCloseSocket(s, &err);
  return got == bytes ? t : -1;
}

// Seconds from connect to the first byte of the answer to a small request.
double FirstByte(Host& h, Server& echo) {
  int err = 0;
  SOCKET s = h.Socket(SOCK_STREAM, IPPROTO_TCP, &err);
  if (s == INVALID_SOCKET) return -1;
  char req[] = "GET /index.html HTTP/1.1\r\nHost: www.example.org\r\nAccept: text/html\r\n\r\n";
  sockaddr_in a = RemoteAddress(echo.port());
  double t = -1;
  const double t0 = Now();
  if (!h.T().lpWSPConnect(s, reinterpret_cast<sockaddr*>(&a), sizeof a, nullptr, nullptr, nullptr, nullptr, &err)) {
    WSABUF b = {sizeof req - 1, req};
    DWORD n = 0, flags = 0;
    char got[1];
    WSABUF r = {1, got};
    if (!h.T().lpWSPSend(s, &b, 1, &n, 0, nullptr, nullptr, nullptr, &err) &&
        !h.T().lpWSPRecv(s, &r, 1, &n, &flags, nullptr, nullptr, nullptr, &err) && n == 1)
      t = Now() - t0;
  }
  h.T().lpWSPCloseSocket(s, &err);
  return t;
}

int EnvInt(const char* name, int fallback) {
  const char* v = getenv(name);
  return v && atoi(v) > 0 ? atoi(v) : fallback;
}

}  // namespace

int main() {
  // The filters that read the first bytes are on; nothing here is blocked.
  if (!WriteSettings(SettingsWith("Enable adult filter:1\r\nAdult filter degree:1\r\nOpen Window filter:1\r\n"
                                  "Flash Window filter:1\r\nWeb Video filter:1\r\n"))) {
    fprintf(stderr, "quorvane bench: cannot write the settings file\n");
    return 1;
  }
  Host bare, layered;
  std::string error;
  if (!bare.Start(false, &error) || !layered.Start(true, &error)) {
    fprintf(stderr, "quorvane bench: %s\n", error.c_str());
    return 1;
  }
  const long long bytes = static_cast<long long>(EnvInt("MOSSGRAVE_BENCH_MB", 100)) * 1024 * 1024;
  const int rounds = EnvInt("MOSSGRAVE_BENCH_ROUNDS", 8);
  Sink sink;
  std::vector<double> bareTimes, layeredTimes;
  for (int round = 0; round < rounds; ++round) {
    // Each goes first in every other round.
    Host* order[2] = {&bare, &layered};
    if (round % 2) std::swap(order[0], order[1]);
    for (Host* h : order) {
      const double t = Throughput(*h, sink, bytes);
      if (t < 0) {
        fprintf(stderr, "quorvane bench: the %s transfer failed\n", h->layered() ? "layered" : "bare");
        return 1;
      }
      (h->layered() ? layeredTimes : bareTimes).push_back(t);
    }
  }
  const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  const double bareRate = mb / Median(bareTimes), layeredRate = mb / Median(layeredTimes);
  printf("loopback TCP, %.0f MB: through Quorvane.dll %.0f MB/s, bare %.0f MB/s, ratio %.3f (median of %d)\n", mb,
         layeredRate, bareRate, layeredRate / bareRate, rounds);

  Server echo;
  const int connections = EnvInt("MOSSGRAVE_BENCH_CONNECTIONS", 200);
  std::vector<double> bareFirst, layeredFirst;
  for (int i = 0; i < connections; ++i) {
    Host* order[2] = {&bare, &layered};
    if (i % 2) std::swap(order[0], order[1]);
    for (Host* h : order) {
      const double t = FirstByte(*h, echo);
      if (t < 0) {
        fprintf(stderr, "quorvane bench: a %s request failed\n", h->layered() ? "layered" : "bare");
        return 1;
      }
      (h->layered() ? layeredFirst : bareFirst).push_back(t);
    }
  }
  const double lf = Median(layeredFirst), bf = Median(bareFirst);
  printf("connect to first byte: through Quorvane.dll %.1f us, bare %.1f us, ratio %.3f (median of %d)\n", lf * 1e6,
         bf * 1e6, lf / bf, connections);
  WriteSettings("");
  return 0;
}
