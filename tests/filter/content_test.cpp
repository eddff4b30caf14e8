// The content rules: adult (banned domains and keyword scores per degree),
// pop-up, Flash and video, over the host names of DNS, TLS and HTTP.
#include <gtest/gtest.h>

#include <string>

#include "filtertestutil.h"

using namespace qvtest;

namespace {

enum class Carrier { kDnsUdp, kDnsTcp, kTls, kHttp };

qv::Verdict DecideHost(const qv::Engine& e, Carrier carrier, const std::string& host) {
  switch (carrier) {
    case Carrier::kDnsUdp: return DecideBytes(e, DnsQuery(host), 53, qv::Protocol::kUdp);
    case Carrier::kDnsTcp: return DecideBytes(e, DnsQuery(host, true), 53, qv::Protocol::kTcp);
    case Carrier::kTls: return DecideBytes(e, TlsHello(host), 443);
    case Carrier::kHttp: return DecideBytes(e, Bytes("GET / HTTP/1.1\r\nHost: " + host + "\r\n\r\n"), 80);
  }
  return qv::Verdict();
}

struct HostCase {
  const char* host;
  int degree;  // as in the settings
  bool blocked;
};

class AdultHostTest : public ::testing::TestWithParam<std::tuple<Carrier, HostCase>> {};

TEST_P(AdultHostTest, BannedDomainsAndKeywordScores) {
  const Carrier carrier = std::get<0>(GetParam());
  const HostCase& c = std::get<1>(GetParam());
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:1", "Adult filter degree:" + std::to_string(c.degree)}));
  const qv::Verdict v = DecideHost(e, carrier, c.host);
  EXPECT_EQ(v.block, c.blocked) << c.host << " degree " << c.degree;
  EXPECT_EQ(v.reason, c.blocked ? qv::Reason::kAdult : qv::Reason::kNone);
  EXPECT_EQ(v.host, qvtest::Lower(c.host));
  EXPECT_EQ(v.isHttp, carrier == Carrier::kHttp);
}

INSTANTIATE_TEST_SUITE_P(Hosts, AdultHostTest, ::testing::Combine(
    ::testing::Values(Carrier::kDnsUdp, Carrier::kDnsTcp, Carrier::kTls, Carrier::kHttp),
    ::testing::Values(
        // The banned list blocks at every degree, parents included.
        HostCase{"beeg.com", 3, true}, HostCase{"www.beeg.com", 3, true}, HostCase{"a.b.c.beeg.com", 1, true},
        HostCase{"WWW.Beeg.COM", 2, true}, HostCase{"anything.xxx", 3, true},
        HostCase{"notbeeg.com", 3, false}, HostCase{"beeg.com.example.org", 3, false},
        HostCase{"beeg.co", 3, false}, HostCase{"www.example.com", 1, false},
        // Keywords: nude 40, sex 30, xxx 40, porn 60; 60 blocks at high, 120 at medium.
        HostCase{"nude-art.example", 1, false}, HostCase{"nude-sex.example", 1, true},
        HostCase{"nude-sex.example", 0, true}, HostCase{"nude-sex.example", 2, false},
        HostCase{"porn-xxx-nude.example", 2, true}, HostCase{"porn-xxx-nude.example", 3, false},
        HostCase{"porn.example", 1, true}, HostCase{"porn.example", 2, false},
        HostCase{"sexsexsex.example", 1, false},  // each keyword counts once
        HostCase{"essex-nude.example", 1, false}, HostCase{"sex-nude.example", 1, true},
        HostCase{"university-of-essex.example", 1, false})));

TEST(AdultFilter, OffBlocksNothing) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:0", "Adult filter degree:1"}));
  EXPECT_FALSE(DecideHost(e, Carrier::kTls, "www.beeg.com").block);
  EXPECT_FALSE(DecideHost(e, Carrier::kDnsUdp, "porn-xxx.example").block);
}

struct UrlCase {
  const char* request;
  int degree;
  bool blocked;
};

class AdultUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(AdultUrlTest, KeywordsOfHostAndAddressAddUp) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:1", "Adult filter degree:" + std::to_string(GetParam().degree)}));
  const qv::Verdict v = DecideBytes(e, Bytes(GetParam().request), 80);
  EXPECT_EQ(v.block, GetParam().blocked) << GetParam().request;
  EXPECT_TRUE(v.isHttp);
}

INSTANTIATE_TEST_SUITE_P(Requests, AdultUrlTest, ::testing::Values(
    UrlCase{"GET /gallery/nude/naked.html HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 1, true},
    UrlCase{"GET /gallery/nude/naked.html HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 2, false},
    UrlCase{"GET /gallery/%6Eude/%4Eaked.html HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 1, true},
    UrlCase{"GET /search?q=nude HTTP/1.1\r\nHost: nsfw.example\r\n\r\n", 1, true},  // host 40 + URL 40
    UrlCase{"GET /nude HTTP/1.1\r\nHost: sex.example\r\n\r\n", 1, true},
    UrlCase{"GET /nude/nude/nude HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 1, false},
    UrlCase{"GET /news/essex/today HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 1, false},
    UrlCase{"GET /porn-xxx-nude HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 2, true},
    UrlCase{"GET /porn-xxx-nude HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 3, false},
    UrlCase{"GET http://www.beeg.com/ HTTP/1.1\r\nHost: proxy.example\r\n\r\n", 3, true},
    UrlCase{"GET /%E8%89%B2%E6%83%85/ HTTP/1.1\r\nHost: www.example.com\r\n\r\n", 1, true},
    UrlCase{"GET / HTTP/1.1\r\nHost: www.example.com\r\nReferer: http://porn.example/\r\n\r\n", 1, false}));

struct JunkCase {
  const char* settings;  // the one filter switched on
  std::vector<uint8_t> bytes;
  uint16_t port;
  qv::Protocol protocol;
  qv::Reason reason;  // kNone: allowed
};

class JunkFilterTest : public ::testing::TestWithParam<JunkCase> {};

TEST_P(JunkFilterTest, OneFilterOn) {
  const JunkCase& c = GetParam();
  qv::Engine on, off;
  LoadEngine(&on, Settings({c.settings}));
  std::string offLine = c.settings;
  offLine.back() = '0';
  LoadEngine(&off, Settings({offLine}));
  const qv::Verdict v = DecideBytes(on, c.bytes, c.port, c.protocol);
  EXPECT_EQ(v.reason, c.reason);
  EXPECT_EQ(v.block, c.reason != qv::Reason::kNone);
  EXPECT_FALSE(DecideBytes(off, c.bytes, c.port, c.protocol).block);
}

std::vector<uint8_t> Get(const std::string& target, const std::string& headers = "") {
  return Bytes("GET " + target + " HTTP/1.1\r\nHost: www.example.com\r\n" + headers + "\r\n");
}

const char kPopup[] = "Open Window filter:1";
const char kFlash[] = "Flash Window filter:1";
const char kVideo[] = "Web Video filter:1";
const qv::Protocol kTcp = qv::Protocol::kTcp;
const qv::Protocol kUdp = qv::Protocol::kUdp;

INSTANTIATE_TEST_SUITE_P(Cases, JunkFilterTest, ::testing::Values(
    JunkCase{kPopup, TlsHello("ad.doubleclick.net"), 443, kTcp, qv::Reason::kPopup},
    JunkCase{kPopup, DnsQuery("www.popads.net"), 53, kUdp, qv::Reason::kPopup},
    JunkCase{kPopup, Bytes("GET /x.js HTTP/1.1\r\nHost: cpro.baidu.com\r\n\r\n"), 80, kTcp, qv::Reason::kPopup},
    JunkCase{kPopup, TlsHello("www.baidu.com"), 443, kTcp, qv::Reason::kNone},
    JunkCase{kPopup, TlsHello("doubleclick.net.example"), 443, kTcp, qv::Reason::kNone},
    JunkCase{kFlash, Get("/movie.swf"), 80, kTcp, qv::Reason::kFlash},
    JunkCase{kFlash, Get("/Movie.SWF?autoplay=1"), 80, kTcp, qv::Reason::kFlash},
    JunkCase{kFlash, Get("/a.swf#top"), 80, kTcp, qv::Reason::kFlash},
    JunkCase{kFlash, Get("/movie.swf.html"), 80, kTcp, qv::Reason::kNone},
    JunkCase{kFlash, Get("/swf/page.html"), 80, kTcp, qv::Reason::kNone},
    JunkCase{kFlash, Get("/page?file=a.swf"), 80, kTcp, qv::Reason::kNone},
    JunkCase{kFlash, Get("/obj", "Accept: application/x-shockwave-flash\r\n"), 80, kTcp, qv::Reason::kFlash},
    JunkCase{kFlash, Get("/obj", "Content-Type: application/x-shockwave-flash; x=1\r\n"), 80, kTcp,
             qv::Reason::kFlash},
    // An old browser lists the Flash type in every Accept line: only the first type counts.
    JunkCase{kFlash, Get("/", "Accept: image/gif, application/x-shockwave-flash, */*\r\n"), 80, kTcp,
             qv::Reason::kNone},
    JunkCase{kFlash, TlsHello("www.example.com"), 443, kTcp, qv::Reason::kNone},
    JunkCase{kVideo, Get("/v/clip.mp4"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/live/index.m3u8?token=1"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/live/seg-00012.ts"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/dash/manifest.mpd"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/song.MP3"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/old/clip.flv"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/m", "Accept: video/webm,video/ogg,video/*;q=0.9\r\n"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/m", "Accept: audio/*\r\n"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/m", "Accept: application/vnd.apple.mpegurl\r\n"), 80, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, Get("/page.html"), 80, kTcp, qv::Reason::kNone},
    JunkCase{kVideo, Get("/", "Accept: text/html,video/mp4\r\n"), 80, kTcp, qv::Reason::kNone},
    JunkCase{kVideo, TlsHello("www.youtube.com"), 443, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, DnsQuery("r3---sn-abc.googlevideo.com"), 53, kUdp, qv::Reason::kVideo},
    JunkCase{kVideo, DnsQuery("v.qq.com", true), 53, kTcp, qv::Reason::kVideo},
    JunkCase{kVideo, TlsHello("qq.com"), 443, kTcp, qv::Reason::kNone},
    JunkCase{kVideo, TlsHello("www.example.com"), 443, kTcp, qv::Reason::kNone}));

TEST(Content, DnsOnlyToPort53AndNotOverRaw) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:1"}));
  EXPECT_TRUE(DecideBytes(e, DnsQuery("www.beeg.com"), 53, qv::Protocol::kUdp).block);
  EXPECT_FALSE(DecideBytes(e, DnsQuery("www.beeg.com"), 5353, qv::Protocol::kUdp).block);
  EXPECT_FALSE(DecideBytes(e, DnsQuery("www.beeg.com"), 53, qv::Protocol::kRaw).block);
  // Over TCP a query without its length prefix is no query.
  EXPECT_FALSE(DecideBytes(e, DnsQuery("www.beeg.com"), 53, qv::Protocol::kTcp).block);
}

TEST(Content, OnlyTheFirstInspectedBytesCount) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:1"}));
  std::string req = "GET /" + std::string(qv::kMaxInspectBytes, 'a') + "/nude/sex HTTP/1.1\r\nHost: x.example\r\n\r\n";
  EXPECT_FALSE(DecideBytes(e, Bytes(req), 80).block);
  req = "GET /nude/sex/" + std::string(qv::kMaxInspectBytes, 'a') + " HTTP/1.1\r\n";
  EXPECT_TRUE(DecideBytes(e, Bytes(req), 80).block);
}

TEST(Content, AConnectionWithoutBytesIsAllowedAndTheHostIsReported) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:1", "Open Window filter:1", "Web Video filter:1"}));
  qv::Context c = At(1, 12, 0, 0);
  EXPECT_FALSE(e.Decide(c).block);
  const std::vector<uint8_t> hello = TlsHello("www.example.com");
  c.data = hello.data();
  c.dataLength = hello.size();
  const qv::Verdict v = e.Decide(c);
  EXPECT_FALSE(v.block);
  EXPECT_EQ(v.host, "www.example.com");
  EXPECT_FALSE(v.isHttp);
}

TEST(Content, TheAdultReasonComesFirst) {
  qv::Engine e;
  LoadEngine(&e, Settings({"Enable adult filter:1", "Open Window filter:1", "Web Video filter:1",
                           "Flash Window filter:1"}));
  EXPECT_EQ(DecideBytes(e, Bytes("GET /a.swf HTTP/1.1\r\nHost: www.beeg.com\r\n\r\n"), 80).reason, qv::Reason::kAdult);
  EXPECT_EQ(DecideBytes(e, Bytes("GET /a.swf HTTP/1.1\r\nHost: www.youtube.com\r\n\r\n"), 80).reason,
            qv::Reason::kFlash);
}

}  // namespace
