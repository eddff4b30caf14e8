// One decision with 1,000 listed programs and 100,000 banned domains,
// against a bare lookup of one string in an unordered_set of that size,
// measured in alternating rounds of the same run: for one host asked again
// and again (as a program's connections to one site and the name's DNS
// query before them are), and for hosts that are each new to the cache.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "filter/engine.h"
#include "filter/filterlists.h"

namespace {
using Clock = std::chrono::steady_clock;
double Ns(Clock::duration d, int n) { return std::chrono::duration<double, std::nano>(d).count() / n; }

std::vector<uint8_t> Hello(const std::string& name) {
  std::vector<uint8_t> ext = {0, 0, 0, static_cast<uint8_t>(name.size() + 5), 0,
                              static_cast<uint8_t>(name.size() + 3), 0, 0, static_cast<uint8_t>(name.size())};
  ext.insert(ext.end(), name.begin(), name.end());
  std::vector<uint8_t> h = {3, 3};
  h.insert(h.end(), 32, 1);
  h.push_back(0);
  h.insert(h.end(), {0, 2, 0x13, 0x01, 1, 0, 0, static_cast<uint8_t>(ext.size())});
  h.insert(h.end(), ext.begin(), ext.end());
  std::vector<uint8_t> r = {22, 3, 1, 0, static_cast<uint8_t>(h.size() + 4), 1, 0, 0, static_cast<uint8_t>(h.size())};
  r.insert(r.end(), h.begin(), h.end());
  return r;
}
}  // namespace

int main() {
  std::string domains;
  std::unordered_set<std::string> bare;
  for (int i = 0; i < 100000; ++i) {
    const std::string d = "banned" + std::to_string(i * 7919) + ".example";
    domains += d + "\n";
    bare.insert(d);
  }
  std::string settings = "Enable program filter:1\r\nProgram filter type:1\r\nEnable adult filter:1\r\n"
                         "Adult filter degree:1\r\nWeb Video filter:1\r\nOpen Window filter:1\r\n";
  for (int i = 0; i < 1000; ++i)
    settings += "program name:P" + std::to_string(i) + "\r\nprogram path:C:\\Program Files\\Vendor" +
                std::to_string(i) + "\\app.exe\r\n";

  const auto t0 = Clock::now();
  auto lists = std::make_shared<qv::FilterLists>();
  lists->AddBuiltin();
  lists->AddDomains(domains.data(), domains.size(), qv::kListAdult);
  lists->Finish();
  qv::Engine engine;
  engine.SetLists(lists);
  qv::Environment env;
  env.windowsDirectory = "C:\\Windows";
  engine.Load(settings.c_str(), env);
  const double buildMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

  const std::vector<uint8_t> hello = Hello("www.news-site.example");
  qv::Context c;
  const std::string program = "C:\\Program Files\\Vendor500\\app.exe";
  c.programPath = program.c_str();
  c.programPathLength = program.size();  // a caller that knows the length passes it
  qv::Context counted = c;                // and one that does not
  c.now.weekday = 1, c.now.hour = 12;
  c.remote.family = 4, c.remote.bytes[0] = 93, c.remote.port = 443;
  c.data = hello.data();
  c.dataLength = hello.size();
  counted.data = hello.data();
  counted.dataLength = hello.size();
  counted.programPathLength = 0;
  const std::string key = "banned" + std::to_string(500 * 7919) + ".example";
  // More names than the cache of recent names keeps, of the same length.
  const int kNames = 4096;
  std::vector<std::vector<uint8_t>> hellos;
  for (int i = 0; i < kNames; ++i) hellos.push_back(Hello("www.news-" + std::to_string(1000 + i) + ".example"));
  std::vector<std::string> keys;
  for (int i = 0; i < kNames; ++i) keys.push_back("banned" + std::to_string((i * 24 + 7) * 7919) + ".example");
  std::vector<qv::Context> fresh(kNames, c);
  for (int i = 0; i < kNames; ++i) fresh[i].data = hellos[i].data(), fresh[i].dataLength = hellos[i].size();

  const int n = 200000;
  std::vector<double> decide, lookup, decideCounted, decideNew, lookupNew;
  volatile int sink = 0;
  for (int round = 0; round < 15; ++round) {
    auto a = Clock::now();
    for (int i = 0; i < n; ++i) sink += engine.Decide(c).block;
    auto b = Clock::now();
    for (int i = 0; i < n; ++i) sink += static_cast<int>(bare.count(key));
    auto e = Clock::now();
    for (int i = 0; i < n; ++i) sink += engine.Decide(counted).block;
    auto f = Clock::now();
    decide.push_back(Ns(b - a, n));
    lookup.push_back(Ns(e - b, n));
    decideCounted.push_back(Ns(f - e, n));
  }
  // Rounds of their own, so that these loops' cache misses do not touch
  // the figures above.
  for (int round = 0; round < 15; ++round) {
    auto f = Clock::now();
    for (int i = 0; i < n; ++i) sink += engine.Decide(fresh[i % kNames]).block;
    auto g = Clock::now();
    for (int i = 0; i < n; ++i) sink += static_cast<int>(bare.count(keys[i % kNames]));
    auto h = Clock::now();
    decideNew.push_back(Ns(g - f, n));
    lookupNew.push_back(Ns(h - g, n));
  }
  std::sort(decide.begin(), decide.end());
  std::sort(lookup.begin(), lookup.end());
  std::sort(decideCounted.begin(), decideCounted.end());
  std::sort(decideNew.begin(), decideNew.end());
  std::sort(lookupNew.begin(), lookupNew.end());
  const double d = decide[decide.size() / 2], l = lookup[lookup.size() / 2];
  printf("filter: lists of 100,000 domains and 1,000 programs built in %.1f ms\n", buildMs);
  printf("filter: one decision %.1f ns, bare unordered_set lookup %.1f ns, ratio %.2f (%s the limit of 3)\n", d, l,
         d / l, d / l <= 3.0 ? "within" : "OVER");
  const double dc = decideCounted[decideCounted.size() / 2];
  printf("filter: with the program path's length not given, one decision %.1f ns, ratio %.2f\n", dc, dc / l);
  const double dn = decideNew[decideNew.size() / 2];
  const double ln = lookupNew[lookupNew.size() / 2];
  printf("filter: each host new to the cache (%d names in turn), one decision %.1f ns, ratio %.2f; "
         "against bare lookups of %d strings in turn (%.1f ns), ratio %.2f\n",
         kNames, dn, dn / l, kNames, ln, dn / ln);
  return 0;
}
