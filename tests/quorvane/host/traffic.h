// What a program does with the sockets of the layered provider, for the
// tests: settings in force, clients over the test host's table, a UDP
// server, and the first bytes of DNS and TLS.
#pragma once
#include <winsock2.h>
#include <ws2spi.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "testhost.h"

namespace qvtest {

// The layered host shared by the tests of one run.
Host& Layered();

// Writes the settings and waits until the library must have seen them: it
// looks at the file at most once a second. A text already written is not
// written again, but still waited for.
void UseSettings(const std::string& text);
// Writes the settings and returns at once.
void ChangeSettings(const std::string& text);
// UseSettings with the stored bytes of both files given (null: removed).
void UseSettingsFiles(const std::string* mainBytes, const std::string* backupBytes);

// Every content filter on: adult (degree 1), pop-up, Flash, video.
std::string ContentSettings();

// The time limit on, every day's window twelve hours away from now.
std::string OutsideTimeSettings();

// The test program's full path and its file name, as the library sees them.
std::string ProgramPath();
std::string ProgramName();

std::string DnsQuery(const std::string& name);
std::string TlsHello(const std::string& serverName);

// A socket of the layered provider; receives time out after a few seconds.
class Client {
 public:
  explicit Client(int type = SOCK_STREAM, Host& host = Layered());
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  SOCKET get() const { return s_; }
  int createError() const { return createError_; }
  const WSPPROC_TABLE& T() const { return host_.T(); }

  int Connect(unsigned short port);  // 0 or the Winsock error
  // 0 or the Winsock error; sent gets the count the provider reported.
  int Send(const std::string& bytes, DWORD* sent = nullptr);
  int SendParts(const std::vector<std::string>& parts, DWORD* sent = nullptr);
  int SendTo(const std::string& bytes, unsigned short port, DWORD* sent = nullptr);
  // Until n bytes, the end of the stream, an error or the time-out.
  std::string Receive(size_t n, int* err);
  std::string ReceiveToEnd(int* err) { return Receive(static_cast<size_t>(-1), err); }
  int Close();

 private:
  Host& host_;
  SOCKET s_ = INVALID_SOCKET;
  int createError_ = 0;
};

// A UDP server on 127.0.0.1; the test base provider takes datagrams for
// port 53 of the test range to it, so the filter sees DNS queries.
class DnsServer {
 public:
  DnsServer();
  ~DnsServer();
  // Whether a datagram with exactly these bytes arrives within a few seconds.
  bool Got(const std::string& bytes);
  // Everything received so far.
  std::vector<std::string> Received();

 private:
  SOCKET s_ = INVALID_SOCKET;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> received_;
  std::atomic<bool> stop_{false};
};

}  // namespace qvtest
