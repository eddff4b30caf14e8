// Small builders for the engine's tests: settings texts, contexts and the
// first bytes of DNS, TLS and HTTP.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "filter/engine.h"
#include "filter/filterlists.h"

namespace qvtest {

// The given lines (CR LF added), then the default file: a lookup takes the
// first occurrence, so the given lines win.
std::string Settings(std::initializer_list<std::string> lines);

// %VAR% expansion as a 32-bit process on 64-bit Windows sees it.
std::string Expand(const std::string& text);
// 8.3 forms of the few paths the tests use; others come back unchanged.
std::string LongPath(const std::string& path);
qv::Environment TestEnvironment();

// An engine over the built-in lists and the given settings.
void LoadEngine(qv::Engine* engine, const std::string& settings);

qv::Address V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port);
qv::Address V6(std::initializer_list<uint8_t> bytes, uint16_t port);

// A context at the given weekday (0 Sunday) and time, from a browser to a
// public address on port 443.
qv::Context At(int weekday, int hour, int minute, int second, const char* program = nullptr);

std::vector<uint8_t> DnsQuery(const std::string& name, bool overTcp = false);
std::vector<uint8_t> TlsHello(const std::string& serverName);
std::vector<uint8_t> Bytes(const std::string& s);

// The decision for bytes sent by a browser over TCP (or UDP) to port.
qv::Verdict DecideBytes(const qv::Engine& engine, const std::vector<uint8_t>& bytes, uint16_t port,
                        qv::Protocol protocol = qv::Protocol::kTcp);

std::string Lower(std::string s);

extern const char kBrowser[];  // a program outside the Windows folder, never listed

}  // namespace qvtest
