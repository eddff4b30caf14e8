#include "traffic.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>

namespace qvtest {

Host& Layered() {
  static Host* h = [] {
    Host* x = new Host;
    std::string err;
    if (!x->Start(true, &err)) {
      fprintf(stderr, "test host: %s\n", err.c_str());
      abort();
    }
    return x;
  }();
  return *h;
}

namespace {
// Until the library has looked at the files again since the last write.
void WaitUntilSeen() {
  std::string text;
  ULONGLONG at = 0;
  LastWritten(&text, &at);
  const ULONGLONG due = at + 1100;
  for (ULONGLONG now = GetTickCount64(); now < due; now = GetTickCount64()) Sleep(static_cast<DWORD>(due - now));
}
}  // namespace

void ChangeSettings(const std::string& text) {
  if (!WriteSettings(text)) {
    fprintf(stderr, "cannot write the settings\n");
    abort();
  }
}

void UseSettingsFiles(const std::string* mainBytes, const std::string* backupBytes) {
  if (!WriteSettingsFiles(mainBytes, backupBytes)) {
    fprintf(stderr, "cannot write the settings files\n");
    abort();
  }
  WaitUntilSeen();
}

void UseSettings(const std::string& text) {
  std::string last;
  ULONGLONG at = 0;
  if (!LastWritten(&last, &at) || last != text) ChangeSettings(text);
  WaitUntilSeen();
}

std::string ContentSettings() {
  return SettingsWith(
      "Enable adult filter:1\r\nAdult filter degree:1\r\nOpen Window filter:1\r\n"
      "Flash Window filter:1\r\nWeb Video filter:1\r\n");
}

std::string OutsideTimeSettings() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char at[16];
  snprintf(at, sizeof at, "%02d:00:00", (t.wHour + 12) % 24);
  std::string lines = "Enable time limit:1\r\n";
  for (const char* day : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"})
    lines += std::string(day) + "StartTime:" + at + "\r\n" + day + "EndTime:" + at + "\r\n";
  return SettingsWith(lines);
}

std::string ProgramPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

std::string ProgramName() {
  std::string p = ProgramPath();
  return p.substr(p.find_last_of("\\/") + 1);
}

std::string DnsQuery(const std::string& name) {
  std::string q("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12);
  size_t at = 0;
  while (at <= name.size()) {
    size_t dot = name.find('.', at);
    if (dot == std::string::npos) dot = name.size();
    q += static_cast<char>(dot - at);
    q += name.substr(at, dot - at);
    at = dot + 1;
  }
  q += std::string("\x00\x00\x01\x00\x01", 5);
  return q;
}

namespace {
std::string Be16(size_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xff)}; }
}  // namespace

std::string TlsHello(const std::string& serverName) {
  std::string sni = std::string(1, '\0') + Be16(serverName.size()) + serverName;
  sni = Be16(sni.size()) + sni;
  std::string ext = std::string("\x00\x00", 2) + Be16(sni.size()) + sni;
  std::string body = std::string("\x03\x03", 2) + std::string(32, '\x5a') + std::string(1, '\0') +
                     std::string("\x00\x02\x13\x01\x01\x00", 6) + Be16(ext.size()) + ext;
  std::string hs = std::string(1, '\x01') + std::string(1, '\0') + Be16(body.size()) + body;
  return std::string("\x16\x03\x01", 3) + Be16(hs.size()) + hs;
}

Client::Client(int type, Host& host) : host_(host) {
  s_ = host_.Socket(type, type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP, &createError_);
  if (s_ == INVALID_SOCKET) return;
  DWORD ms = 5000;
  int err = 0;
  T().lpWSPSetSockOpt(s_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms, &err);
}

Client::~Client() { Close(); }

int Client::Close() {
  if (s_ == INVALID_SOCKET) return 0;
  int err = 0;
  int rc = T().lpWSPCloseSocket(s_, &err);
  s_ = INVALID_SOCKET;
  return rc == 0 ? 0 : err;
}

int Client::Connect(unsigned short port) {
  sockaddr_in a = RemoteAddress(port);
  int err = 0;
  if (T().lpWSPConnect(s_, reinterpret_cast<sockaddr*>(&a), sizeof a, nullptr, nullptr, nullptr, nullptr, &err) != 0)
    return err ? err : -1;
  return 0;
}

int Client::Send(const std::string& bytes, DWORD* sent) { return SendParts({bytes}, sent); }

int Client::SendParts(const std::vector<std::string>& parts, DWORD* sent) {
  std::vector<WSABUF> bufs;
  for (const std::string& p : parts)
    bufs.push_back(WSABUF{static_cast<ULONG>(p.size()), p.empty() ? nullptr : const_cast<char*>(p.data())});
  DWORD n = 0;
  int err = 0;
  int rc = T().lpWSPSend(s_, bufs.data(), static_cast<DWORD>(bufs.size()), &n, 0, nullptr, nullptr, nullptr, &err);
  if (sent) *sent = n;
  return rc == 0 ? 0 : (err ? err : -1);
}

int Client::SendTo(const std::string& bytes, unsigned short port, DWORD* sent) {
  sockaddr_in a = RemoteAddress(port);
  WSABUF b = {static_cast<ULONG>(bytes.size()), const_cast<char*>(bytes.data())};
  DWORD n = 0;
  int err = 0;
  int rc = T().lpWSPSendTo(s_, &b, 1, &n, 0, reinterpret_cast<sockaddr*>(&a), sizeof a, nullptr, nullptr, nullptr,
                           &err);
  if (sent) *sent = n;
  return rc == 0 ? 0 : (err ? err : -1);
}

std::string Client::Receive(size_t n, int* err) {
  std::string got;
  *err = 0;
  char buf[8192];
  while (got.size() < n) {
    const size_t want = n - got.size();
    WSABUF b = {static_cast<ULONG>(want < sizeof buf ? want : sizeof buf), buf};
    DWORD count = 0, flags = 0;
    if (T().lpWSPRecv(s_, &b, 1, &count, &flags, nullptr, nullptr, nullptr, err) != 0) break;
    if (count == 0) break;
    got.append(buf, count);
  }
  return got;
}

DnsServer::DnsServer() {
  unsigned short port = 0;
  s_ = BindLoopback(SOCK_DGRAM, IPPROTO_UDP, &port);
  SetEnvironmentVariableA("QV_TEST_DNS_PORT", std::to_string(port).c_str());
  DWORD ms = 100;
  setsockopt(s_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
  thread_ = std::thread([this] {
    char buf[2048];
    while (!stop_) {
      int n = recv(s_, buf, sizeof buf, 0);
      if (n <= 0) continue;
      std::lock_guard<std::mutex> l(mutex_);
      received_.emplace_back(buf, n);
    }
  });
}

DnsServer::~DnsServer() {
  stop_ = true;
  thread_.join();
  closesocket(s_);
  SetEnvironmentVariableA("QV_TEST_DNS_PORT", nullptr);
}

bool DnsServer::Got(const std::string& bytes) {
  for (int i = 0; i < 300; ++i) {
    {
      std::lock_guard<std::mutex> l(mutex_);
      for (const std::string& r : received_)
        if (r == bytes) return true;
    }
    Sleep(10);
  }
  return false;
}

std::vector<std::string> DnsServer::Received() {
  std::lock_guard<std::mutex> l(mutex_);
  return received_;
}

}  // namespace qvtest
