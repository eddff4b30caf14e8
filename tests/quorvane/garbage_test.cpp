// Whatever a program sends first, cut short or malformed, the layer lets it
// pass or blocks it, and stays sound: no crash, the connection answers as
// it should, and nothing of the library's is left over.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "traffic.h"

using namespace qvtest;

namespace {

std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return s;
}

std::string Prefixes(const std::string& s, size_t n) { return s.substr(0, n); }

struct Sample {
  std::string what;
  std::string bytes;
};

std::vector<Sample> FirstSends() {
  std::vector<Sample> v;
  const std::string hello = TlsHello("www.beeg.com");
  const std::string get = "GET /movie.swf HTTP/1.1\r\nHost: www.beeg.com\r\nAccept: video/*\r\n\r\n";
  for (size_t n = 1; n < hello.size(); ++n) v.push_back({"hello cut at " + std::to_string(n), Prefixes(hello, n)});
  for (size_t n = 1; n < get.size(); n += 3) v.push_back({"request cut at " + std::to_string(n), Prefixes(get, n)});
  // Length fields that claim more than there is.
  std::string big = hello;
  big[3] = big[4] = '\xff';
  v.push_back({"record length too big", big});
  big = hello;
  big[6] = big[7] = big[8] = '\xff';
  v.push_back({"handshake length too big", big});
  big = hello;
  big[big.size() - 14] = '\xff';  // the server name's length
  v.push_back({"name length too big", big});
  v.push_back({"hello with nothing but a header", std::string("\x16\x03\x01\x00\x00", 5)});
  v.push_back({"hello of zero bytes after its type", std::string("\x16", 1) + std::string(64, '\0')});
  v.push_back({"request without line ends", "GET /" + std::string(3000, 'a')});
  v.push_back({"request longer than the inspected bytes",
               "GET /" + std::string(20000, 'b') + " HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n"});
  v.push_back({"host of 1000 bytes", "GET / HTTP/1.1\r\nHost: " + std::string(1000, 'x') + ".com\r\n\r\n"});
  v.push_back({"host with zero bytes", std::string("GET / HTTP/1.1\r\nHost: www.be\0eg.com\r\n\r\n", 39)});
  v.push_back({"host with high bytes", "GET / HTTP/1.1\r\nHost: \xc9\xab\xc7\xe9.com:99999999999\r\n\r\n"});
  v.push_back({"only a method", "GET "});
  v.push_back({"only line ends", "\r\n\r\n\r\n"});
  for (uint32_t seed = 1; seed <= 8; ++seed) v.push_back({"noise " + std::to_string(seed), Noise(37 * seed, seed)});
  v.push_back({"noise beyond the inspected bytes", Noise(40000, 99)});
  return v;
}

// The server's answer for a first send that went through: the echo, or the block page.
void ExpectSoundAnswer(Client& c, const std::string& bytes, const std::string& what) {
  int err = 0;
  const std::string got = c.Receive(bytes.size(), &err);
  if (got.compare(0, 13, "HTTP/1.1 403 ") == 0) return;
  EXPECT_EQ(got.size(), bytes.size()) << what << ", error " << err;
  EXPECT_TRUE(got == bytes) << what;
}

TEST(Garbage, FirstSendsPassOrBlock) {
  UseSettings(ContentSettings());
  Server server;
  for (const Sample& s : FirstSends()) {
    Client c;
    ASSERT_EQ(c.Connect(server.port()), 0) << s.what;
    DWORD sent = 0;
    const int err = c.Send(s.bytes, &sent);
    if (err == 0) {
      EXPECT_EQ(sent, s.bytes.size()) << s.what;
      ExpectSoundAnswer(c, s.bytes, s.what);
    } else {
      EXPECT_EQ(err, WSAEACCES) << s.what;
    }
  }
  long socks = 0, ops = 0;
  LibraryCounts(&socks, &ops);
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
}

TEST(Garbage, DatagramsToPort53PassOrBlock) {
  UseSettings(ContentSettings());
  DnsServer dns;
  const std::string query = DnsQuery("www.beeg.com");
  std::vector<Sample> samples;
  for (size_t n = 0; n < query.size(); ++n) samples.push_back({"query cut at " + std::to_string(n), query.substr(0, n)});
  std::string loop = query.substr(0, 12) + "\xc0\x0c" + std::string("\x00\x01\x00\x01", 4);
  samples.push_back({"name pointing at itself", loop});
  samples.push_back({"label past the end", query.substr(0, 12) + "\x3f" + "www"});
  samples.push_back({"label of 63 bytes", query.substr(0, 12) + "\x3f" + std::string(63, 'a') + std::string(5, '\0')});
  for (uint32_t seed = 1; seed <= 8; ++seed) samples.push_back({"noise " + std::to_string(seed), Noise(13 * seed, seed)});
  Client c(SOCK_DGRAM);
  for (const Sample& s : samples) {
    const int err = c.SendTo(s.bytes, 53);
    EXPECT_TRUE(err == 0 || err == WSAEACCES) << s.what << ": " << err;
  }
  // Still in order afterwards: a query passes, a banned one does not.
  const std::string harmless = DnsQuery("www.example.com");
  EXPECT_EQ(c.SendTo(harmless, 53), 0);
  EXPECT_TRUE(dns.Got(harmless));
  EXPECT_EQ(c.SendTo(query, 53), WSAEACCES);
}

struct SplitCase {
  const char* what;
  std::vector<std::string> parts;
  int error;  // of the first send that carries bytes
};

class SplitFirstSendTest : public ::testing::TestWithParam<SplitCase> {};

// The first bytes are looked at whichever way the program hands them over.
TEST_P(SplitFirstSendTest, IsSeenWhole) {
  UseSettings(ContentSettings());
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  std::string all;
  for (const std::string& p : GetParam().parts) all += p;
  EXPECT_EQ(c.SendParts(GetParam().parts), GetParam().error);
  if (GetParam().error == 0) {
    int err = 0;
    EXPECT_EQ(c.Receive(all.size(), &err), all);
  }
}

const std::string kBanned = TlsHello("www.beeg.com");
const std::string kHarmless = TlsHello("www.example.com");

INSTANTIATE_TEST_SUITE_P(Buffers, SplitFirstSendTest, ::testing::Values(
    SplitCase{"three buffers", {kBanned.substr(0, 5), kBanned.substr(5, 20), kBanned.substr(25)}, WSAEACCES},
    SplitCase{"empty buffers among them", {"", kBanned.substr(0, 9), "", kBanned.substr(9), ""}, WSAEACCES},
    SplitCase{"one byte each at first", {kBanned.substr(0, 1), kBanned.substr(1, 1), kBanned.substr(2)}, WSAEACCES},
    SplitCase{"harmless in three", {kHarmless.substr(0, 5), kHarmless.substr(5, 20), kHarmless.substr(25)}, 0}));

// A send of no bytes shows nothing: the bytes that follow are still the first.
TEST(Garbage, AnEmptySendDoesNotHideTheFirstBytes) {
  UseSettings(ContentSettings());
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  EXPECT_EQ(c.Send(""), 0);
  EXPECT_EQ(c.SendParts({"", ""}), 0);
  EXPECT_EQ(c.Send(kBanned), WSAEACCES);
}

struct AcrossCase {
  const char* name;
  std::vector<std::string> sends;  // one send each
  int lastError;                   // of the last send
  bool page;                       // the block page is read back
};

std::ostream& operator<<(std::ostream& o, const AcrossCase& c) { return o << c.name; }

class AcrossSendsTest : public ::testing::TestWithParam<AcrossCase> {};

// A request or hello handed over in several sends is judged whole.
TEST_P(AcrossSendsTest, IsJudgedWhole) {
  const AcrossCase& k = GetParam();
  UseSettings(ContentSettings());
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  std::string all;
  for (size_t i = 0; i + 1 < k.sends.size(); ++i) {
    ASSERT_EQ(c.Send(k.sends[i]), 0) << i;
    all += k.sends[i];
  }
  all += k.sends.back();
  EXPECT_EQ(c.Send(k.sends.back()), k.lastError);
  int err = 0;
  if (k.page) {
    const std::string page = c.ReceiveToEnd(&err);
    EXPECT_EQ(page.compare(0, 13, "HTTP/1.1 403 "), 0) << page;
  } else if (k.lastError == 0) {
    EXPECT_EQ(c.Receive(all.size(), &err), all);
  }
}

std::vector<std::string> Pieces(const std::string& s, size_t size) {
  std::vector<std::string> v;
  for (size_t at = 0; at < s.size(); at += size) v.push_back(s.substr(at, size));
  return v;
}

const std::string kBannedGet = "GET /index.html HTTP/1.1\r\nHost: www.beeg.com\r\nAccept: */*\r\n\r\n";
const std::string kHarmlessGet = "GET /index.html HTTP/1.1\r\nHost: www.example.com\r\nAccept: */*\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(Sends, AcrossSendsTest, ::testing::Values(
    AcrossCase{"RequestLineThenHeaders", {kBannedGet.substr(0, 26), kBannedGet.substr(26)}, 0, true},
    AcrossCase{"RequestLineByLine", {kBannedGet.substr(0, 26), kBannedGet.substr(26, 20), kBannedGet.substr(46)}, 0,
               true},
    AcrossCase{"FlashPathThenHeaders", {"GET /movie.swf HTTP/1.1\r\n", "Host: www.example.com\r\n\r\n"}, 0, true},
    AcrossCase{"HarmlessRequestInParts", {kHarmlessGet.substr(0, 10), kHarmlessGet.substr(10)}, 0, false},
    AcrossCase{"HelloHeaderThenBody", {kBanned.substr(0, 5), kBanned.substr(5)}, WSAEACCES, false},
    AcrossCase{"HelloByteThenRest", {kBanned.substr(0, 1), kBanned.substr(1)}, WSAEACCES, false},
    AcrossCase{"HelloInThree", {kBanned.substr(0, 9), kBanned.substr(9, 30), kBanned.substr(39)}, WSAEACCES, false},
    AcrossCase{"HelloInPiecesOf5", Pieces(kBanned, 5), WSAEACCES, false},
    AcrossCase{"RequestByteByByte", Pieces("GET / HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n", 1), 0, true},
    AcrossCase{"HarmlessHelloInParts", {kHarmless.substr(0, 5), kHarmless.substr(5)}, 0, false},
    // Bytes of no known kind are judged at once and not gathered.
    AcrossCase{"OtherBytes", {"\x01\x02\x03", TlsHello("www.beeg.com")}, 0, false}),
    [](const ::testing::TestParamInfo<AcrossCase>& i) { return std::string(i.param.name); });

}  // namespace
