// A whole decision: the first bytes split the input into a settings text,
// optional list text and the connection's first bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "filter/engine.h"
#include "filter/filterlists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const size_t settingsLen = data[0] * 4u, listLen = data[1] * 2u;
  const uint8_t mode = data[2];
  data += 3, size -= 3;
  const size_t s = settingsLen < size ? settingsLen : size;
  const std::string settings(reinterpret_cast<const char*>(data), s);
  data += s, size -= s;
  const size_t l = listLen < size ? listLen : size;
  const std::string list(reinterpret_cast<const char*>(data), l);
  data += l, size -= l;

  qv::Engine e;
  if (mode & 1) {
    auto lists = std::make_shared<qv::FilterLists>();
    lists->AddDomains(list.data(), list.size(), qv::kListAdult | qv::kListVideo);
    lists->AddKeywords(list.data(), list.size());
    lists->Finish();
    e.SetLists(lists);
  } else {
    e.SetLists(qv::FilterLists::Builtin());
  }
  qv::Environment env;
  env.windowsDirectory = "C:\\Windows";
  e.Load(settings.c_str(), env);
  qv::Context c;
  c.programPath = "C:\\Program Files\\b\\b.exe";
  c.now.weekday = mode % 7;
  c.now.hour = mode % 24;
  c.protocol = (mode & 2) ? qv::Protocol::kUdp : qv::Protocol::kTcp;
  c.remote.family = 4;
  c.remote.bytes[0] = 93;
  c.remote.port = (mode & 4) ? 53 : 80;
  c.data = data;
  c.dataLength = size;
  // The list text may stand for the program's path too, with or without
  // its length; a second decision (from the remembered answer) agrees.
  if (mode & 8) c.programPath = list.c_str();
  if (mode & 16) c.programPathLength = strlen(c.programPath);
  const qv::Verdict v = e.Decide(c);
  const qv::Verdict again = e.Decide(c);
  if (again.block != v.block || again.reason != v.reason || !(again.host == v.host.str())) __builtin_trap();
  if (v.block) (void)qv::Engine::BlockPage(v);
  return 0;
}
