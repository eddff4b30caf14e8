// Overlapped, non-blocking and ConnectEx traffic through the layer: the
// library completes the program's requests itself (event, completion port
// or completion routine), and filters ConnectEx as it filters connect.
#include <gtest/gtest.h>

#include <mswsock.h>

#include <string>

#include "traffic.h"

using namespace qvtest;

namespace {

enum class Notify { kEvent, kPort, kRoutine };

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

volatile LONG g_routineCalls = 0;
DWORD g_routineError = 0, g_routineBytes = 0;
LPWSAOVERLAPPED g_routineOverlapped = nullptr;

void CALLBACK Routine(DWORD error, DWORD bytes, LPWSAOVERLAPPED ov, DWORD) {
  g_routineError = error;
  g_routineBytes = bytes;
  g_routineOverlapped = ov;
  InterlockedIncrement(&g_routineCalls);
}

// One socket driven the overlapped way, told of its completions one way.
class Overlapped {
 public:
  Overlapped(Client& c, Notify how) : c_(c), how_(how) {
    ov_.hEvent = how == Notify::kEvent ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
    if (how == Notify::kPort) {
      port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
      Layered().Associate(c.get(), port_, kKey);
    }
    if (how == Notify::kRoutine) thread_ = Layered().ThisThread();
  }
  ~Overlapped() {
    if (ov_.hEvent) CloseHandle(ov_.hEvent);
    if (port_) CloseHandle(port_);
    if (thread_.ThreadHandle) CloseHandle(thread_.ThreadHandle);
  }

  // Starts a send or receive and waits for it; the bytes moved, or -1.
  long Send(const char* data, size_t n) { return Run(true, const_cast<char*>(data), n); }
  long Recv(char* data, size_t n) { return Run(false, data, n); }
  int lastError() const { return error_; }

 private:
  static constexpr ULONG_PTR kKey = 0x5157;

  long Run(bool send, char* data, size_t n) {
    WSABUF b = {static_cast<ULONG>(n), data};
    DWORD count = 0, flags = 0;
    int err = 0;
    if (ov_.hEvent) ResetEvent(ov_.hEvent);
    const LONG calls = g_routineCalls;
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine = how_ == Notify::kRoutine ? &Routine : nullptr;
    LPWSATHREADID thread = how_ == Notify::kRoutine ? &thread_ : nullptr;
    int rc = send ? c_.T().lpWSPSend(c_.get(), &b, 1, &count, 0, &ov_, routine, thread, &err)
                  : c_.T().lpWSPRecv(c_.get(), &b, 1, &count, &flags, &ov_, routine, thread, &err);
    error_ = err;
    if (rc != 0 && err != WSA_IO_PENDING) return -1;
    switch (how_) {
      case Notify::kEvent:
        if (WaitForSingleObject(ov_.hEvent, 5000) != WAIT_OBJECT_0) return error_ = WAIT_TIMEOUT, -1;
        break;
      case Notify::kPort: {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* got = nullptr;
        if (!GetQueuedCompletionStatus(port_, &bytes, &key, &got, 5000)) return error_ = GetLastError(), -1;
        EXPECT_EQ(key, kKey);
        EXPECT_EQ(got, &ov_);
        break;
      }
      case Notify::kRoutine: {
        for (int i = 0; i < 50 && g_routineCalls == calls; ++i) SleepEx(100, TRUE);
        if (g_routineCalls != calls + 1) return error_ = WAIT_TIMEOUT, -1;
        EXPECT_EQ(g_routineOverlapped, &ov_);
        EXPECT_EQ(g_routineError, 0u);
        break;
      }
    }
    DWORD bytes = 0;
    if (!c_.T().lpWSPGetOverlappedResult(c_.get(), &ov_, &bytes, FALSE, &flags, &err)) return error_ = err, -1;
    if (how_ == Notify::kRoutine) {
      EXPECT_EQ(g_routineBytes, bytes);
    }
    error_ = 0;
    return static_cast<long>(bytes);
  }

  Client& c_;
  Notify how_;
  WSAOVERLAPPED ov_ = {};
  HANDLE port_ = nullptr;
  WSATHREADID thread_ = {};
  int error_ = 0;
};

class OverlappedTest : public ::testing::TestWithParam<Notify> {};

TEST_P(OverlappedTest, CarriesDataBothWays) {
  UseSettings(ContentSettings());
  Server server;
  {
    Client c;
    ASSERT_EQ(c.Connect(server.port()), 0);
    Overlapped o(c, GetParam());
    const std::string data = TlsHello("www.example.com") + Pattern(200000);
    std::string back(data.size(), '\0');
    size_t at = 0;
    while (at < data.size()) {
      const size_t chunk = data.size() - at < 16384 ? data.size() - at : 16384;
      const long sent = o.Send(data.data() + at, chunk);
      ASSERT_GT(sent, 0) << o.lastError();
      size_t got = 0;
      while (got < static_cast<size_t>(sent)) {
        const long n = o.Recv(&back[at + got], sent - got);
        ASSERT_GT(n, 0) << o.lastError();
        got += n;
      }
      at += sent;
    }
    EXPECT_TRUE(back == data);
  }
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
}

TEST_P(OverlappedTest, BannedFirstBytesAreDeniedAndThePageIsReadBack) {
  UseSettings(ContentSettings());
  Server server;
  {
    Client c;
    ASSERT_EQ(c.Connect(server.port()), 0);
    Overlapped o(c, GetParam());
    const std::string hello = TlsHello("www.beeg.com");
    EXPECT_EQ(o.Send(hello.data(), hello.size()), -1);
    EXPECT_EQ(o.lastError(), WSAEACCES);
  }
  {
    Client c;
    ASSERT_EQ(c.Connect(server.port()), 0);
    Overlapped o(c, GetParam());
    const std::string get = "GET / HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n";
    EXPECT_EQ(o.Send(get.data(), get.size()), static_cast<long>(get.size()));
    std::string page;
    char buf[512];
    for (long n; (n = o.Recv(buf, sizeof buf)) > 0;) page.append(buf, n);
    EXPECT_EQ(o.lastError(), 0);
    EXPECT_EQ(page.compare(0, 24, "HTTP/1.1 403 Forbidden\r\n"), 0) << page;
    EXPECT_NE(page.find("</html>"), std::string::npos);
  }
  Sleep(50);
  EXPECT_EQ(server.Received(), "");
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, OverlappedTest, ::testing::Values(Notify::kEvent, Notify::kPort, Notify::kRoutine),
                         [](const ::testing::TestParamInfo<Notify>& i) {
                           return std::string(i.param == Notify::kEvent  ? "Event"
                                              : i.param == Notify::kPort ? "CompletionPort"
                                                                         : "CompletionRoutine");
                         });

// Waits until the socket is readable (read) or writable, through the layer's select.
bool Ready(Client& c, bool read) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(c.get(), &set);
  timeval t = {5, 0};
  int err = 0;
  int n = c.T().lpWSPSelect(0, read ? &set : nullptr, read ? nullptr : &set, nullptr, &t, &err);
  return n == 1 && set.fd_count == 1 && set.fd_array[0] == c.get();
}

TEST(NonBlocking, CarriesDataBothWays) {
  UseSettings(ContentSettings());
  Server server;
  Client c;
  u_long on = 1;
  DWORD ret = 0;
  int err = 0;
  ASSERT_EQ(c.T().lpWSPIoctl(c.get(), FIONBIO, &on, sizeof on, nullptr, 0, &ret, nullptr, nullptr, nullptr, &err), 0);
  const int connectError = c.Connect(server.port());
  EXPECT_TRUE(connectError == 0 || connectError == WSAEWOULDBLOCK) << connectError;
  ASSERT_TRUE(Ready(c, false));
  const std::string hello = TlsHello("www.example.com");
  ASSERT_EQ(c.Send(hello), 0);
  std::string got;
  char buf[512];
  while (got.size() < hello.size()) {
    ASSERT_TRUE(Ready(c, true));
    WSABUF b = {sizeof buf, buf};
    DWORD n = 0, flags = 0;
    ASSERT_EQ(c.T().lpWSPRecv(c.get(), &b, 1, &n, &flags, nullptr, nullptr, nullptr, &err), 0) << err;
    ASSERT_GT(n, 0u);
    got.append(buf, n);
  }
  EXPECT_EQ(got, hello);
}

TEST(NonBlocking, ThePageIsReadableAtOnce) {
  UseSettings(ContentSettings());
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  u_long on = 1;
  DWORD ret = 0;
  int err = 0;
  ASSERT_EQ(c.T().lpWSPIoctl(c.get(), FIONBIO, &on, sizeof on, nullptr, 0, &ret, nullptr, nullptr, nullptr, &err), 0);
  ASSERT_EQ(c.Send("GET /a.swf HTTP/1.1\r\nHost: www.example.com\r\n\r\n"), 0);
  ASSERT_TRUE(Ready(c, true));
  const std::string page = c.ReceiveToEnd(&err);
  EXPECT_EQ(page.compare(0, 13, "HTTP/1.1 403 "), 0) << page << " " << err;
}

LPFN_CONNECTEX ConnectExOf(Client& c) {
  GUID id = WSAID_CONNECTEX;
  LPFN_CONNECTEX fn = nullptr;
  DWORD ret = 0;
  int err = 0;
  if (c.T().lpWSPIoctl(c.get(), SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &fn, sizeof fn, &ret, nullptr,
                       nullptr, nullptr, &err) != 0)
    return nullptr;
  return fn;
}

struct ConnectExCase {
  const char* name;
  bool outsideTime;  // else every content filter on
  std::string data;  // sent with the connection
  int error;         // 0: connected and echoed
};

class ConnectExTest : public ::testing::TestWithParam<ConnectExCase> {};

TEST_P(ConnectExTest, FiltersAsConnectAndFirstSend) {
  const ConnectExCase& k = GetParam();
  UseSettings(k.outsideTime ? OutsideTimeSettings() : ContentSettings());
  Server server;
  {
    Client c;
    sockaddr_in any = LoopbackAddress(0);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    int err = 0;
    ASSERT_EQ(c.T().lpWSPBind(c.get(), reinterpret_cast<sockaddr*>(&any), sizeof any, &err), 0) << err;
    LPFN_CONNECTEX connectEx = ConnectExOf(c);
    ASSERT_NE(connectEx, nullptr);
    WSAOVERLAPPED ov = {};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    sockaddr_in to = RemoteAddress(server.port());
    DWORD sent = 0;
    BOOL ok = connectEx(c.get(), reinterpret_cast<sockaddr*>(&to), sizeof to,
                        k.data.empty() ? nullptr : const_cast<char*>(k.data.data()), static_cast<DWORD>(k.data.size()),
                        &sent, &ov);
    const int started = ok ? 0 : WSAGetLastError();
    if (k.error) {
      EXPECT_EQ(started, k.error);
      EXPECT_EQ(server.Connections(), 0);
    } else {
      ASSERT_TRUE(started == 0 || started == WSA_IO_PENDING) << started;
      ASSERT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_OBJECT_0);
      DWORD bytes = 0, flags = 0;
      ASSERT_TRUE(c.T().lpWSPGetOverlappedResult(c.get(), &ov, &bytes, FALSE, &flags, &err)) << err;
      EXPECT_EQ(bytes, k.data.size());
      ASSERT_EQ(c.T().lpWSPSetSockOpt(c.get(), SOL_SOCKET, SO_UPDATE_CONNECT_CONTEXT, nullptr, 0, &err), 0) << err;
      EXPECT_EQ(c.Receive(k.data.size(), &err), k.data) << err;
      // Later sends pass as after a connect.
      ASSERT_EQ(c.Send("and more"), 0);
      EXPECT_EQ(c.Receive(8, &err), "and more") << err;
    }
    CloseHandle(ov.hEvent);
  }
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConnectExTest, ::testing::Values(
    ConnectExCase{"Harmless", false, TlsHello("www.example.com"), 0},
    ConnectExCase{"NoData", false, "", 0},
    ConnectExCase{"BannedServerName", false, TlsHello("www.beeg.com"), WSAEACCES},
    ConnectExCase{"BannedRequest", false, "GET / HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n", WSAEACCES},
    ConnectExCase{"OutsideTime", true, TlsHello("www.example.com"), WSAECONNREFUSED}),
    [](const ::testing::TestParamInfo<ConnectExCase>& i) { return std::string(i.param.name); });

// Programs that wait for network events learn of an answer, the block page included.
struct EventCase {
  const char* name;
  std::string request;
  bool page;
};

std::ostream& operator<<(std::ostream& o, const EventCase& c) { return o << c.name; }

class EventSelectTest : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventSelectTest, TheAnswerIsSignalled) {
  UseSettings(ContentSettings());
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  WSAEVENT event = WSACreateEvent();
  int err = 0;
  ASSERT_EQ(c.T().lpWSPEventSelect(c.get(), event, FD_READ | FD_CLOSE, &err), 0) << err;
  ASSERT_EQ(c.Send(GetParam().request), 0);
  std::string got;
  char buf[1024];
  for (int rounds = 0; rounds < 20; ++rounds) {
    ASSERT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0) << "after " << got.size() << " bytes";
    WSANETWORKEVENTS ne = {};
    ASSERT_EQ(c.T().lpWSPEnumNetworkEvents(c.get(), event, &ne, &err), 0) << err;
    if (ne.lNetworkEvents & FD_READ) {
      WSABUF b = {sizeof buf, buf};
      DWORD n = 0, flags = 0;
      if (c.T().lpWSPRecv(c.get(), &b, 1, &n, &flags, nullptr, nullptr, nullptr, &err) == 0) got.append(buf, n);
    }
    if (GetParam().page ? got.find("</html>") != std::string::npos : got.size() >= GetParam().request.size()) break;
  }
  if (GetParam().page) {
    EXPECT_EQ(got.compare(0, 13, "HTTP/1.1 403 "), 0) << got;
  } else {
    EXPECT_EQ(got, GetParam().request);
  }
  WSACloseEvent(event);
}

INSTANTIATE_TEST_SUITE_P(Answers, EventSelectTest, ::testing::Values(
    EventCase{"Echo", "GET / HTTP/1.1\r\nHost: www.example.com\r\n\r\n", false},
    EventCase{"BlockPage", "GET / HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n", true}),
    [](const ::testing::TestParamInfo<EventCase>& i) { return std::string(i.param.name); });

// A program that is told by window messages reads the page in small parts,
// each announced, and then hears of the end.
TEST(AsyncSelect, ThePageIsAnnouncedPartByPartThenTheEnd) {
  UseSettings(ContentSettings());
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const UINT kMessage = WM_APP + 5;
  int err = 0;
  ASSERT_EQ(c.T().lpWSPAsyncSelect(c.get(), window, kMessage, FD_READ | FD_CLOSE, &err), 0) << err;
  ASSERT_EQ(c.Send("GET /clip.mp4 HTTP/1.1\r\nHost: www.example.com\r\n\r\n"), 0);
  std::string page;
  int reads = 0, closes = 0;
  for (ULONGLONG start = GetTickCount64(); closes == 0 && GetTickCount64() - start < 5000;) {
    MSG m;
    if (!PeekMessageA(&m, window, kMessage, kMessage, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      continue;
    }
    if (static_cast<SOCKET>(m.wParam) != c.get()) continue;  // the base provider's own handle
    const LONG event = WSAGETSELECTEVENT(m.lParam);
    if (event == FD_READ) {
      ++reads;
      char buf[100];
      WSABUF b = {sizeof buf, buf};
      DWORD n = 0, flags = 0;
      ASSERT_EQ(c.T().lpWSPRecv(c.get(), &b, 1, &n, &flags, nullptr, nullptr, nullptr, &err), 0) << err;
      page.append(buf, n);
    } else if (event == FD_CLOSE) {
      ++closes;
    }
  }
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(page.compare(0, 13, "HTTP/1.1 403 "), 0) << page;
  EXPECT_NE(page.find("</html>"), std::string::npos);
  EXPECT_GT(reads, 1);
  DestroyWindow(window);
}

}  // namespace
