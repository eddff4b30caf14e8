// Each restriction, as a program meets it through the layer: refused at
// connect, denied at the first send or at a datagram, or the 403 page read
// back for a plain HTTP request; and the same traffic passing where the
// restriction is off or does not apply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "traffic.h"

using namespace qvtest;

namespace {

enum class Rule { kNone, kTime, kProgram, kChat, kContent };
// Connect and a first send; a datagram to port 53, with the address or on a
// connected socket; a query over TCP to port 53.
enum class Via { kTcp, kDns, kDnsConnected, kDnsTcp };
enum class Outcome { kPass, kRefused, kDenied, kPage };

// GBK texts of the page's reason line.
const char kAdultText[] = "\xbb\xc6\xc9\xab\xc4\xda\xc8\xdd\xcd\xf8\xd2\xb3";
const char kFlashText[] = "Flash(\xb6\xaf\xbb\xad)";
const char kVideoText[] = "\xd4\xda\xcf\xdf\xca\xd3\xd2\xf4\xc6\xb5";

std::string Line(const std::string& s) { return s + "\r\n"; }

std::string SettingsFor(Rule rule) {
  switch (rule) {
    case Rule::kNone:
      return SettingsWith("");
    case Rule::kTime:
      return OutsideTimeSettings();
    case Rule::kProgram:
      return SettingsWith(Line("Enable program filter:1") + Line("Program filter type:0") +
                          Line("program name:Test host") + Line("program path:" + ProgramPath()));
    case Rule::kChat:
      return SettingsWith(Line("Talk limit name:" + ProgramName()));
    case Rule::kContent:
      return ContentSettings();
  }
  return std::string();
}

std::string Get(const std::string& target, const std::string& host, const std::string& headers = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" + headers + "\r\n";
}

struct BlockCase {
  const char* name;
  Rule rule;
  Via via;
  std::string bytes;
  Outcome outcome;
  const char* reasonText = nullptr;  // kPage: in the page
  const char* host = nullptr;        // kPage: named in the page
};

std::ostream& operator<<(std::ostream& o, const BlockCase& c) { return o << c.name; }

class BlockTest : public ::testing::TestWithParam<BlockCase> {};

void ExpectTcp(const BlockCase& c) {
  Server server;
  Client client;
  ASSERT_NE(client.get(), INVALID_SOCKET) << client.createError();
  // The test base provider takes port 53 to the port named here.
  if (c.via == Via::kDnsTcp) SetEnvironmentVariableA("QV_TEST_DNS_PORT", std::to_string(server.port()).c_str());
  const int connectError = client.Connect(c.via == Via::kDnsTcp ? 53 : server.port());
  SetEnvironmentVariableA("QV_TEST_DNS_PORT", nullptr);
  if (c.outcome == Outcome::kRefused) {
    EXPECT_EQ(connectError, WSAECONNREFUSED);
    EXPECT_EQ(server.Connections(), 0);
    return;
  }
  ASSERT_EQ(connectError, 0);
  DWORD sent = 0;
  const int sendError = client.Send(c.bytes, &sent);
  int err = 0;
  switch (c.outcome) {
    case Outcome::kPass: {
      ASSERT_EQ(sendError, 0);
      EXPECT_EQ(sent, c.bytes.size());
      EXPECT_EQ(client.Receive(c.bytes.size(), &err), c.bytes) << err;
      break;
    }
    case Outcome::kDenied: {
      EXPECT_EQ(sendError, WSAEACCES);
      // The connection stays refused, whatever follows.
      EXPECT_EQ(client.Send("GET / HTTP/1.1\r\nHost: www.example.com\r\n\r\n"), WSAEACCES);
      EXPECT_EQ(client.Receive(1, &err), "");
      break;
    }
    case Outcome::kPage: {
      ASSERT_EQ(sendError, 0);
      EXPECT_EQ(sent, c.bytes.size());  // as if the request had gone out
      const std::string page = client.ReceiveToEnd(&err);
      EXPECT_EQ(err, 0);
      ASSERT_EQ(page.compare(0, 24, "HTTP/1.1 403 Forbidden\r\n"), 0) << page;
      const size_t bodyAt = page.find("\r\n\r\n");
      ASSERT_NE(bodyAt, std::string::npos);
      const size_t lengthAt = page.find("Content-Length: ");
      ASSERT_NE(lengthAt, std::string::npos);
      EXPECT_EQ(std::stoul(page.substr(lengthAt + 16)), page.size() - bodyAt - 4);
      EXPECT_NE(page.find("charset=GBK"), std::string::npos);
      EXPECT_NE(page.find(c.reasonText), std::string::npos) << page;
      EXPECT_NE(page.find(c.host), std::string::npos) << page;
      // Once read, the connection has ended, and later requests read nothing.
      EXPECT_EQ(client.Receive(1, &err), "");
      EXPECT_EQ(err, 0);
      break;
    }
    case Outcome::kRefused:
      break;
  }
  if (c.outcome != Outcome::kPass) {
    // The blocked request never reached the server.
    Sleep(50);
    EXPECT_EQ(server.Received(), "");
  }
}

void ExpectDatagram(const BlockCase& c) {
  DnsServer dns;
  Client client(SOCK_DGRAM);
  ASSERT_NE(client.get(), INVALID_SOCKET) << client.createError();
  DWORD sent = 0;
  int err = 0;
  if (c.via == Via::kDnsConnected) {
    ASSERT_EQ(client.Connect(53), 0);
    err = client.Send(c.bytes, &sent);
  } else {
    err = client.SendTo(c.bytes, 53, &sent);
  }
  if (c.outcome == Outcome::kPass) {
    ASSERT_EQ(err, 0);
    EXPECT_EQ(sent, c.bytes.size());
    EXPECT_TRUE(dns.Got(c.bytes));
  } else {
    EXPECT_EQ(err, WSAEACCES);
    Sleep(100);
    EXPECT_TRUE(dns.Received().empty());
  }
}

TEST_P(BlockTest, AsTheProgramSeesIt) {
  const BlockCase& c = GetParam();
  UseSettings(SettingsFor(c.rule));
  if (c.via == Via::kTcp || c.via == Via::kDnsTcp) {
    ExpectTcp(c);
  } else {
    ExpectDatagram(c);
  }
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
}

const std::string kHello = TlsHello("www.example.com");
const std::string kPlain = Get("/", "www.example.com");
const std::string kQuery = DnsQuery("www.example.com");

// A query over TCP: its length first.
std::string OverTcp(const std::string& query) {
  return std::string{static_cast<char>(query.size() >> 8), static_cast<char>(query.size() & 0xff)} + query;
}

// Cases with the same rule stand together: each change of the settings costs a second.
INSTANTIATE_TEST_SUITE_P(Reasons, BlockTest, ::testing::Values(
    BlockCase{"NoneAdultHost", Rule::kNone, Via::kTcp, Get("/", "www.beeg.com"), Outcome::kPass},
    BlockCase{"NoneAdultQuery", Rule::kNone, Via::kDns, DnsQuery("www.beeg.com"), Outcome::kPass},
    BlockCase{"NoneFlash", Rule::kNone, Via::kTcp, Get("/movie.swf", "www.example.com"), Outcome::kPass},
    BlockCase{"TimeConnect", Rule::kTime, Via::kTcp, kHello, Outcome::kRefused},
    BlockCase{"TimeDatagram", Rule::kTime, Via::kDns, kQuery, Outcome::kDenied},
    BlockCase{"ProgramConnect", Rule::kProgram, Via::kTcp, kPlain, Outcome::kRefused},
    BlockCase{"ProgramDatagram", Rule::kProgram, Via::kDns, kQuery, Outcome::kDenied},
    BlockCase{"ChatConnect", Rule::kChat, Via::kTcp, kPlain, Outcome::kRefused},
    BlockCase{"ChatDatagram", Rule::kChat, Via::kDns, kQuery, Outcome::kDenied},
    BlockCase{"AdultQuery", Rule::kContent, Via::kDns, DnsQuery("www.beeg.com"), Outcome::kDenied},
    BlockCase{"AdultQueryKeywords", Rule::kContent, Via::kDns, DnsQuery("nude-sex.example"), Outcome::kDenied},
    BlockCase{"HarmlessQuery", Rule::kContent, Via::kDns, kQuery, Outcome::kPass},
    BlockCase{"AdultQueryConnected", Rule::kContent, Via::kDnsConnected, DnsQuery("www.beeg.com"), Outcome::kDenied},
    BlockCase{"HarmlessQueryConnected", Rule::kContent, Via::kDnsConnected, kQuery, Outcome::kPass},
    BlockCase{"AdultQueryOverTcp", Rule::kContent, Via::kDnsTcp, OverTcp(DnsQuery("www.beeg.com")), Outcome::kDenied},
    BlockCase{"HarmlessQueryOverTcp", Rule::kContent, Via::kDnsTcp, OverTcp(kQuery), Outcome::kPass},
    BlockCase{"AdultServerName", Rule::kContent, Via::kTcp, TlsHello("www.beeg.com"), Outcome::kDenied},
    BlockCase{"VideoServerName", Rule::kContent, Via::kTcp, TlsHello("www.youtube.com"), Outcome::kDenied},
    BlockCase{"HarmlessServerName", Rule::kContent, Via::kTcp, kHello, Outcome::kPass},
    BlockCase{"AdultHost", Rule::kContent, Via::kTcp, Get("/", "www.beeg.com"), Outcome::kPage, kAdultText,
              "www.beeg.com"},
    BlockCase{"AdultAddress", Rule::kContent, Via::kTcp, Get("/gallery/nude/naked.html", "www.example.com"),
              Outcome::kPage, kAdultText, "www.example.com"},
    BlockCase{"FlashPath", Rule::kContent, Via::kTcp, Get("/movie.swf", "www.example.com"), Outcome::kPage,
              kFlashText, "www.example.com"},
    BlockCase{"VideoAccept", Rule::kContent, Via::kTcp, Get("/m", "media.example", "Accept: video/*\r\n"),
              Outcome::kPage, kVideoText, "media.example"},
    BlockCase{"VideoPlaylist", Rule::kContent, Via::kTcp, Get("/live/index.m3u8?t=1", "media.example"),
              Outcome::kPage, kVideoText, "media.example"},
    BlockCase{"HarmlessRequest", Rule::kContent, Via::kTcp, kPlain, Outcome::kPass}),
    [](const ::testing::TestParamInfo<BlockCase>& i) { return std::string(i.param.name); });

// A browser keeps a plain HTTP connection for the next requests of a site:
// each request on it is judged, not only the first; what is not a request
// of its own (a request body, bytes after a TLS hello) passes.
struct LaterCase {
  const char* name;
  std::string first;
  std::string later;
  const char* reasonText;  // null: the later bytes pass
};

std::ostream& operator<<(std::ostream& o, const LaterCase& c) { return o << c.name; }

class LaterRequestTest : public ::testing::TestWithParam<LaterCase> {};

TEST_P(LaterRequestTest, OnAKeptConnection) {
  const LaterCase& c = GetParam();
  UseSettings(ContentSettings());
  Server server;
  {
    Client client;
    ASSERT_EQ(client.Connect(server.port()), 0);
    int err = 0;
    ASSERT_EQ(client.Send(c.first), 0);
    ASSERT_EQ(client.Receive(c.first.size(), &err), c.first) << err;  // the server echoes
    DWORD sent = 0;
    ASSERT_EQ(client.Send(c.later, &sent), 0);
    EXPECT_EQ(sent, c.later.size());
    if (!c.reasonText) {
      EXPECT_EQ(client.Receive(c.later.size(), &err), c.later) << err;
    } else {
      const std::string page = client.ReceiveToEnd(&err);
      EXPECT_EQ(err, 0);
      ASSERT_EQ(page.compare(0, 24, "HTTP/1.1 403 Forbidden\r\n"), 0) << page;
      EXPECT_NE(page.find(c.reasonText), std::string::npos) << page;
      // Nothing more goes out on it.
      client.Send(Get("/", "www.example.com"));
      Sleep(50);
      EXPECT_EQ(server.Received(), c.first);
    }
  }
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
}

const std::string kPost = "POST /upload HTTP/1.1\r\nHost: www.example.com\r\nContent-Length: 30\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(Requests, LaterRequestTest, ::testing::Values(
    LaterCase{"FlashAfterAPage", kPlain, Get("/movie.swf", "www.example.com"), kFlashText},
    LaterCase{"AdultAddressAfterAPage", kPlain, Get("/gallery/nude/naked.html", "www.example.com"), kAdultText},
    LaterCase{"VideoAfterAPage", kPlain, Get("/live/index.m3u8", "media.example"), kVideoText},
    LaterCase{"HarmlessAfterAPage", kPlain, Get("/next.html", "www.example.com"), nullptr},
    LaterCase{"RequestBody", kPost, "file=movie.swf&note=nude+naked", nullptr},
    LaterCase{"AfterATlsHello", kHello, Get("/movie.swf", "www.example.com"), nullptr}),
    [](const ::testing::TestParamInfo<LaterCase>& i) { return std::string(i.param.name); });

// However the program reads the page, it reads the same bytes, once.
struct ReadCase {
  const char* name;
  std::vector<ULONG> buffers;  // sizes of the buffers of each receive
  bool peekFirst;              // a peek before each receive
  bool from;                   // WSPRecvFrom rather than WSPRecv
};

std::ostream& operator<<(std::ostream& o, const ReadCase& c) { return o << c.name; }

class PageReadTest : public ::testing::TestWithParam<ReadCase> {};

std::string BlockedRequest() { return Get("/", "www.beeg.com"); }

TEST_P(PageReadTest, SameBytesOnce) {
  UseSettings(ContentSettings());
  Server server;
  std::string whole;
  {
    Client c;
    ASSERT_EQ(c.Connect(server.port()), 0);
    ASSERT_EQ(c.Send(BlockedRequest()), 0);
    int err = 0;
    whole = c.ReceiveToEnd(&err);
    ASSERT_EQ(whole.compare(0, 13, "HTTP/1.1 403 "), 0);
  }
  const ReadCase& k = GetParam();
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  ASSERT_EQ(c.Send(BlockedRequest()), 0);
  std::string got;
  for (int calls = 0; calls < 100000; ++calls) {
    std::vector<std::string> store;
    std::vector<WSABUF> bufs;
    for (ULONG size : k.buffers) store.emplace_back(size, '\0');
    for (std::string& b : store) bufs.push_back(WSABUF{static_cast<ULONG>(b.size()), &b[0]});
    auto receive = [&](DWORD flags, DWORD* n) {
      int err = 0;
      sockaddr_in from = {};
      int fromLength = sizeof from;
      int rc = k.from ? c.T().lpWSPRecvFrom(c.get(), bufs.data(), static_cast<DWORD>(bufs.size()), n, &flags,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength, nullptr, nullptr,
                                            nullptr, &err)
                      : c.T().lpWSPRecv(c.get(), bufs.data(), static_cast<DWORD>(bufs.size()), n, &flags, nullptr,
                                        nullptr, nullptr, &err);
      return rc == 0 ? 0 : err;
    };
    DWORD n = 0;
    std::string peeked;
    if (k.peekFirst) {
      ASSERT_EQ(receive(MSG_PEEK, &n), 0);
      for (size_t i = 0; i < store.size() && peeked.size() < n; ++i)
        peeked += store[i].substr(0, n - peeked.size());
    }
    ASSERT_EQ(receive(0, &n), 0);
    std::string part;
    for (size_t i = 0; i < store.size() && part.size() < n; ++i) part += store[i].substr(0, n - part.size());
    if (k.peekFirst) {
      EXPECT_EQ(peeked, part);
    }
    if (n == 0) break;
    got += part;
  }
  EXPECT_TRUE(got == whole) << got.size() << " of " << whole.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Ways, PageReadTest, ::testing::Values(
    ReadCase{"OneByteAtATime", {1}, false, false},
    ReadCase{"SeveralBuffers", {7, 0, 50}, false, false},
    ReadCase{"PeekThenRead", {64}, true, false},
    ReadCase{"PeekThenReadSeveralBuffers", {3, 100}, true, false},
    ReadCase{"ReceiveFrom", {200}, false, true}),
    [](const ::testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.name); });

}  // namespace
