#include "filtertestutil.h"

#include <cctype>

#include "settings/settingstext.h"

namespace qvtest {

const char kBrowser[] = "C:\\Program Files\\Browser\\browser.exe";

std::string Settings(std::initializer_list<std::string> lines) {
  std::string t;
  for (const std::string& l : lines) t += l + "\r\n";
  return t + BuildDefaultSettingsText();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Expand(const std::string& text) {
  static const std::pair<const char*, const char*> kVars[] = {
      {"%programfiles%", "C:\\Program Files (x86)"},
      {"%programw6432%", "C:\\Program Files"},
      {"%commonprogramfiles%", "C:\\Program Files (x86)\\Common Files"},
      {"%commonprogramw6432%", "C:\\Program Files\\Common Files"},
      {"%systemroot%", "C:\\Windows"},
      {"%appdata%", "C:\\Users\\kid\\AppData\\Roaming"},
  };
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    bool done = false;
    if (text[i] == '%') {
      const size_t close = text.find('%', i + 1);
      if (close != std::string::npos) {
        const std::string var = Lower(text.substr(i, close - i + 1));
        for (const auto& v : kVars)
          if (var == v.first) {
            out += v.second;
            i = close + 1;
            done = true;
            break;
          }
      }
    }
    if (!done) out += text[i++];
  }
  return out;
}

std::string LongPath(const std::string& path) {
  if (Lower(path) == "c:\\progra~1\\tencent\\qq\\bin\\qq.exe") return "C:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe";
  if (Lower(path) == "c:\\progra~2\\game\\game.exe") return "C:\\Program Files (x86)\\Game\\game.exe";
  return path;
}

qv::Environment TestEnvironment() {
  qv::Environment env;
  env.expand = Expand;
  env.longPath = LongPath;
  env.windowsDirectory = "C:\\Windows";
  env.controlProgram = "C:\\Program Files\\Halvenor\\Mossgrave.exe";
  return env;
}

void LoadEngine(qv::Engine* engine, const std::string& settings) {
  engine->SetLists(qv::FilterLists::Builtin());
  engine->Load(settings.c_str(), TestEnvironment());
}

qv::Address V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
  qv::Address addr;
  addr.family = 4;
  addr.bytes[0] = a, addr.bytes[1] = b, addr.bytes[2] = c, addr.bytes[3] = d;
  addr.port = port;
  return addr;
}

qv::Address V6(std::initializer_list<uint8_t> bytes, uint16_t port) {
  qv::Address addr;
  addr.family = 6;
  size_t i = 0;
  for (uint8_t b : bytes)
    if (i < 16) addr.bytes[i++] = b;
  addr.port = port;
  return addr;
}

qv::Context At(int weekday, int hour, int minute, int second, const char* program) {
  qv::Context c;
  c.programPath = program ? program : kBrowser;
  c.now.weekday = weekday;
  c.now.hour = hour, c.now.minute = minute, c.now.second = second;
  c.now.year = 2026, c.now.month = 12, c.now.day = 7 + weekday;
  c.protocol = qv::Protocol::kTcp;
  c.remote = V4(93, 184, 216, 34, 443);
  return c;
}

std::vector<uint8_t> DnsQuery(const std::string& name, bool overTcp) {
  std::vector<uint8_t> m = {0x12, 0x34, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
  size_t start = 0;
  while (start <= name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    m.push_back(static_cast<uint8_t>(dot - start));
    m.insert(m.end(), name.begin() + static_cast<long>(start), name.begin() + static_cast<long>(dot));
    start = dot + 1;
  }
  m.push_back(0);
  m.insert(m.end(), {0, 1, 0, 1});  // type A, class IN
  if (overTcp) {
    const size_t n = m.size();
    m.insert(m.begin(), {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)});
  }
  return m;
}

std::vector<uint8_t> TlsHello(const std::string& serverName) {
  auto u16 = [](std::vector<uint8_t>& v, size_t x) {
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x & 0xFF));
  };
  std::vector<uint8_t> ext;
  // A supported-groups extension first, so the name is not the first one.
  u16(ext, 10);
  u16(ext, 4);
  u16(ext, 2);
  u16(ext, 29);
  if (!serverName.empty()) {
    u16(ext, 0);
    u16(ext, serverName.size() + 5);
    u16(ext, serverName.size() + 3);
    ext.push_back(0);
    u16(ext, serverName.size());
    ext.insert(ext.end(), serverName.begin(), serverName.end());
  }
  std::vector<uint8_t> hello = {3, 3};
  hello.insert(hello.end(), 32, 0xAB);  // random
  hello.push_back(32);                  // session id
  hello.insert(hello.end(), 32, 0xCD);
  u16(hello, 4);
  hello.insert(hello.end(), {0x13, 0x01, 0x13, 0x02});
  hello.push_back(1);
  hello.push_back(0);
  u16(hello, ext.size());
  hello.insert(hello.end(), ext.begin(), ext.end());

  std::vector<uint8_t> hs = {1, static_cast<uint8_t>(hello.size() >> 16), static_cast<uint8_t>(hello.size() >> 8),
                             static_cast<uint8_t>(hello.size() & 0xFF)};
  hs.insert(hs.end(), hello.begin(), hello.end());
  std::vector<uint8_t> rec = {22, 3, 1};
  u16(rec, hs.size());
  rec.insert(rec.end(), hs.begin(), hs.end());
  return rec;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

qv::Verdict DecideBytes(const qv::Engine& engine, const std::vector<uint8_t>& bytes, uint16_t port,
                        qv::Protocol protocol) {
  qv::Context c = At(1, 12, 0, 0);
  c.protocol = protocol;
  c.remote.port = port;
  c.data = bytes.data();
  c.dataLength = bytes.size();
  return engine.Decide(c);
}

}  // namespace qvtest
