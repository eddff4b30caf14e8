#include "testhost.h"

#include <ws2tcpip.h>

#include <cstring>
#include <map>

#include "quorvane/testhooks.h"
#include "settings/settingstext.h"

namespace qvtest {
namespace {

const GUID kLayeredGuid = {0xc5fabbd0, 0x9736, 0x11d1, {0x93, 0x7f, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const GUID kChainGuid = {0xf9065320, 0x9e90, 0x11d1, {0x93, 0x81, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const GUID kBaseGuid = {0x1b2c3d4e, 0x0102, 0x0304, {0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c}};

enum : DWORD { kLayeredId = 1001, kBaseTcpId = 1002, kBaseUdpId = 1003, kTcpChainId = 1004, kUdpChainId = 1005 };

struct Assoc {
  HANDLE port;
  ULONG_PTR key;
};

std::mutex g_mutex;
std::map<SOCKET, DWORD_PTR> g_contexts;
std::map<SOCKET, Assoc> g_ports;
std::atomic<long> g_open{0};

WSAPROTOCOL_INFOW Record(DWORD id, int type, int protocol, int chainLen, DWORD a, DWORD b, const GUID& guid,
                         const wchar_t* name) {
  WSAPROTOCOL_INFOW r = {};
  r.dwServiceFlags1 = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_GRACEFUL_CLOSE;
  if (type == SOCK_DGRAM) r.dwServiceFlags1 = XP1_CONNECTIONLESS | XP1_MESSAGE_ORIENTED | XP1_SUPPORT_BROADCAST;
  r.ProviderId = guid;
  r.dwCatalogEntryId = id;
  r.ProtocolChain.ChainLen = chainLen;
  r.ProtocolChain.ChainEntries[0] = a;
  r.ProtocolChain.ChainEntries[1] = b;
  r.iVersion = 2;
  r.iAddressFamily = AF_INET;
  r.iMaxSockAddr = sizeof(sockaddr_in);
  r.iMinSockAddr = sizeof(sockaddr_in);
  r.iSocketType = type;
  r.iProtocol = protocol;
  r.dwMessageSize = type == SOCK_DGRAM ? 65467 : 0;
  wcsncpy(r.szProtocol, name, WSAPROTOCOL_LEN);
  return r;
}

int WINAPI FindProvider(DWORD id, WSAPROTOCOL_INFOW* info, WCHAR* path, int chars) {
  switch (id) {
    case kBaseTcpId:
      *info = Record(id, SOCK_STREAM, IPPROTO_TCP, 1, id, 0, kBaseGuid, L"Test TCP");
      break;
    case kBaseUdpId:
      *info = Record(id, SOCK_DGRAM, IPPROTO_UDP, 1, id, 0, kBaseGuid, L"Test UDP");
      break;
    default:
      return WSAEINVAL;
  }
  // As the catalogue keeps it: with a variable for the library to expand.
  const wchar_t* p = L"%QV_TEST_DIR%\\TestBase.dll";
  if (static_cast<int>(wcslen(p)) >= chars) return WSAEFAULT;
  wcscpy(path, p);
  return 0;
}

BOOL WSPAPI UpCloseEvent(WSAEVENT e, LPINT) { return WSACloseEvent(e); }
int WSPAPI UpCloseSocketHandle(SOCKET s, LPINT err) {
  std::lock_guard<std::mutex> l(g_mutex);
  if (!g_contexts.erase(s)) {
    *err = WSAENOTSOCK;
    return SOCKET_ERROR;
  }
  g_ports.erase(s);
  CloseHandle(reinterpret_cast<HANDLE>(s));
  --g_open;
  return 0;
}
WSAEVENT WSPAPI UpCreateEvent(LPINT) { return WSACreateEvent(); }
SOCKET WSPAPI UpCreateSocketHandle(DWORD, DWORD_PTR context, LPINT err) {
  HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!h) {
    *err = WSAENOBUFS;
    return INVALID_SOCKET;
  }
  std::lock_guard<std::mutex> l(g_mutex);
  g_contexts[reinterpret_cast<SOCKET>(h)] = context;
  ++g_open;
  return reinterpret_cast<SOCKET>(h);
}
int WSPAPI UpFDIsSet(SOCKET s, fd_set* set) { return __WSAFDIsSet(s, set); }
int WSPAPI UpGetProviderPath(LPGUID, WCHAR*, LPINT, LPINT err) {
  *err = WSAEINVAL;
  return SOCKET_ERROR;
}
SOCKET WSPAPI UpModifyIFSHandle(DWORD, SOCKET s, LPINT) { return s; }
BOOL WSPAPI UpPostMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return PostMessageA(h, m, w, l); }
int WSPAPI UpQueryBlockingCallback(DWORD, LPBLOCKINGCALLBACK* cb, PDWORD_PTR ctx, LPINT) {
  *cb = nullptr;
  *ctx = 0;
  return 0;
}
int WSPAPI UpQuerySocketHandleContext(SOCKET s, PDWORD_PTR ctx, LPINT err) {
  std::lock_guard<std::mutex> l(g_mutex);
  auto it = g_contexts.find(s);
  if (it == g_contexts.end()) {
    *err = WSAENOTSOCK;
    return SOCKET_ERROR;
  }
  *ctx = it->second;
  return 0;
}
int WSPAPI UpQueueApc(LPWSATHREADID t, LPWSAUSERAPC fn, DWORD_PTR ctx, LPINT err) {
  if (!QueueUserAPC(reinterpret_cast<PAPCFUNC>(reinterpret_cast<void*>(fn)), t->ThreadHandle, ctx)) {
    *err = WSAEINVAL;
    return SOCKET_ERROR;
  }
  return 0;
}
BOOL WSPAPI UpResetEvent(WSAEVENT e, LPINT) { return WSAResetEvent(e); }
BOOL WSPAPI UpSetEvent(WSAEVENT e, LPINT) { return WSASetEvent(e); }
int WSPAPI UpOpenCurrentThread(LPWSATHREADID t, LPINT err) {
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &t->ThreadHandle, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    *err = WSAENOBUFS;
    return SOCKET_ERROR;
  }
  t->Reserved = 0;
  return 0;
}
int WSPAPI UpCloseThread(LPWSATHREADID t, LPINT) {
  CloseHandle(t->ThreadHandle);
  return 0;
}
// ws2_32's WPUCompleteOverlappedRequest: the socket's completion port, else the event.
int WSPAPI UpCompleteOverlapped(SOCKET s, LPWSAOVERLAPPED ov, DWORD, DWORD bytes, LPINT err) {
  Assoc a = {nullptr, 0};
  {
    std::lock_guard<std::mutex> l(g_mutex);
    if (!g_contexts.count(s)) {
      *err = WSAENOTSOCK;
      return SOCKET_ERROR;
    }
    auto it = g_ports.find(s);
    if (it != g_ports.end()) a = it->second;
  }
  if (a.port) {
    PostQueuedCompletionStatus(a.port, bytes, a.key, ov);
  } else if (ov->hEvent) {
    SetEvent(ov->hEvent);
  }
  return 0;
}

WSPUPCALLTABLE Upcalls() {
  WSPUPCALLTABLE u = {};
  u.lpWPUCloseEvent = UpCloseEvent;
  u.lpWPUCloseSocketHandle = UpCloseSocketHandle;
  u.lpWPUCreateEvent = UpCreateEvent;
  u.lpWPUCreateSocketHandle = UpCreateSocketHandle;
  u.lpWPUFDIsSet = UpFDIsSet;
  u.lpWPUGetProviderPath = UpGetProviderPath;
  u.lpWPUModifyIFSHandle = UpModifyIFSHandle;
  u.lpWPUPostMessage = UpPostMessage;
  u.lpWPUQueryBlockingCallback = UpQueryBlockingCallback;
  u.lpWPUQuerySocketHandleContext = UpQuerySocketHandleContext;
  u.lpWPUQueueApc = UpQueueApc;
  u.lpWPUResetEvent = UpResetEvent;
  u.lpWPUSetEvent = UpSetEvent;
  u.lpWPUOpenCurrentThread = UpOpenCurrentThread;
  u.lpWPUCloseThread = UpCloseThread;
  return u;
}

QuorvaneCountsFn g_counts = nullptr;

}  // namespace

std::string ExeDirectory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  return p.substr(0, p.find_last_of("\\/"));
}

sockaddr_in RemoteAddress(unsigned short port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, kRemoteHost, &a.sin_addr);
  return a;
}

sockaddr_in LoopbackAddress(unsigned short port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

bool Host::Start(bool layered, std::string* error) {
  layered_ = layered;
  std::string dir = ExeDirectory();
  SetEnvironmentVariableA("QV_TEST_DIR", dir.c_str());
  tcpChain_ = Record(kTcpChainId, SOCK_STREAM, IPPROTO_TCP, 2, kLayeredId, kBaseTcpId, kChainGuid,
                     L"Layered TCP/IP over [Test TCP]");
  udpChain_ = Record(kUdpChainId, SOCK_DGRAM, IPPROTO_UDP, 2, kLayeredId, kBaseUdpId, kChainGuid,
                     L"Layered UDP/IP over [Test UDP]");
  std::string lib = dir + (layered ? "\\Quorvane.dll" : "\\TestBase.dll");
  HMODULE m = LoadLibraryA(lib.c_str());
  if (!m) {
    *error = "cannot load " + lib;
    return false;
  }
  if (layered) {
    auto set = reinterpret_cast<QuorvaneSetHooksFn>(reinterpret_cast<void*>(GetProcAddress(m, "QuorvaneSetHooks")));
    g_counts = reinterpret_cast<QuorvaneCountsFn>(reinterpret_cast<void*>(GetProcAddress(m, "QuorvaneCounts")));
    if (!set || !g_counts) {
      *error = "no test hooks";
      return false;
    }
    QuorvaneHooks hooks = {kLayeredId, &FindProvider, &UpCompleteOverlapped};
    set(&hooks);
  } else {
    tcpChain_ = Record(kBaseTcpId, SOCK_STREAM, IPPROTO_TCP, 1, kBaseTcpId, 0, kBaseGuid, L"Test TCP");
    udpChain_ = Record(kBaseUdpId, SOCK_DGRAM, IPPROTO_UDP, 1, kBaseUdpId, 0, kBaseGuid, L"Test UDP");
  }
  auto start = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(m, "WSPStartup")));
  if (!start) {
    *error = "no WSPStartup export in " + lib;
    return false;
  }
  for (WSAPROTOCOL_INFOW* info : {&tcpChain_, &udpChain_}) {
    WSPDATA data = {};
    WSPPROC_TABLE t = {};
    int rc = start(MAKEWORD(2, 2), &data, info, Upcalls(), &t);
    if (rc != 0) {
      *error = "WSPStartup failed " + std::to_string(rc);
      return false;
    }
    table_ = t;
  }
  return true;
}

SOCKET Host::Socket(int type, int protocol, int* err) {
  WSAPROTOCOL_INFOW* info = type == SOCK_STREAM ? &tcpChain_ : &udpChain_;
  *err = 0;
  return table_.lpWSPSocket(AF_INET, type, protocol, info, 0, WSA_FLAG_OVERLAPPED, err);
}

void Host::Associate(SOCKET s, HANDLE port, ULONG_PTR key) {
  if (!layered_) {
    CreateIoCompletionPort(reinterpret_cast<HANDLE>(s), port, key, 0);
    return;
  }
  std::lock_guard<std::mutex> l(g_mutex);
  g_ports[s] = Assoc{port, key};
}

WSATHREADID Host::ThisThread() {
  WSATHREADID t = {};
  int err = 0;
  UpOpenCurrentThread(&t, &err);
  return t;
}

long Host::OpenHandles() { return g_open; }

void LibraryCounts(long* sockets, long* operations) {
  LONG s = -1, o = -1;
  if (g_counts) g_counts(&s, &o);
  *sockets = s;
  *operations = o;
}

SOCKET BindLoopback(int type, int protocol, unsigned short* port) {
  WSADATA wd;
  WSAStartup(MAKEWORD(2, 2), &wd);
  SOCKET s = socket(AF_INET, type, protocol);
  sockaddr_in a = LoopbackAddress(0);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  return s;
}

Server::Server() {
  listen_ = BindLoopback(SOCK_STREAM, IPPROTO_TCP, &port_);
  listen(listen_, 64);
  thread_ = std::thread([this] {
    for (;;) {
      SOCKET c = accept(listen_, nullptr, nullptr);
      if (c == INVALID_SOCKET) {
        if (stop_) return;
        Sleep(1);
        continue;
      }
      ++connections_;
      std::lock_guard<std::mutex> l(mutex_);
      clients_.emplace_back([this, c] { Serve(c); });
    }
  });
}

Server::~Server() {
  stop_ = true;
  closesocket(listen_);
  thread_.join();
  // Not joined under the lock: a client's thread takes it for what it receives.
  std::vector<std::thread> clients;
  {
    std::lock_guard<std::mutex> l(mutex_);
    clients.swap(clients_);
  }
  for (auto& t : clients) t.join();
}

void Server::Serve(SOCKET c) {
  std::vector<char> buf(256 * 1024);
  for (;;) {
    int n = recv(c, buf.data(), static_cast<int>(buf.size()), 0);
    if (n <= 0) break;
    {
      std::lock_guard<std::mutex> l(mutex_);
      if (received_.size() < (1u << 20)) received_.append(buf.data(), n);
    }
    int off = 0;
    while (off < n) {
      int s = send(c, buf.data() + off, n - off, 0);
      if (s <= 0) break;
      off += s;
    }
    if (off < n) break;
  }
  closesocket(c);
}

std::string Server::Received() {
  std::lock_guard<std::mutex> l(mutex_);
  return received_;
}

namespace {
typedef BOOL(WINAPI* RedirectFn)(PVOID*);
typedef BOOL(WINAPI* RevertFn)(PVOID);
// The settings live in the native system directory, for 32-bit programs too.
struct Native {
  Native() {
    HMODULE k = GetModuleHandleA("kernel32.dll");
    d = reinterpret_cast<RedirectFn>(reinterpret_cast<void*>(GetProcAddress(k, "Wow64DisableWow64FsRedirection")));
    r = reinterpret_cast<RevertFn>(reinterpret_cast<void*>(GetProcAddress(k, "Wow64RevertWow64FsRedirection")));
    on = d && r && d(&old);
  }
  ~Native() {
    if (on) r(old);
  }
  RedirectFn d;
  RevertFn r;
  PVOID old = nullptr;
  bool on = false;
};
}  // namespace

namespace {
bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD w = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &w, nullptr);
  CloseHandle(f);
  return ok && w == bytes.size();
}
}  // namespace

std::string Sealed(const std::string& text) {
  std::string sealed;
  if (!SealSettingsText(text.c_str(), &sealed)) return std::string();
  return sealed;
}

namespace {
std::string* g_written = nullptr;  // the text last written; null: none yet
bool g_writtenKnown = false;       // false after bytes that are no text of ours
ULONGLONG g_writtenAt = 0;
}  // namespace

bool LastWritten(std::string* text, ULONGLONG* at) {
  *at = g_writtenAt;
  if (!g_written || !g_writtenKnown) return false;
  *text = *g_written;
  return true;
}

bool WriteSettingsFiles(const std::string* mainBytes, const std::string* backupBytes) {
  g_writtenKnown = false;
  g_writtenAt = GetTickCount64();
  char dir[MAX_PATH];
  GetSystemDirectoryA(dir, MAX_PATH);
  std::string main = std::string(dir) + "\\nf.cfg", backup = std::string(dir) + "\\drivers\\spinf.sys";
  Native native;
  bool ok = true;
  if (backupBytes) {
    ok = WriteFileBytes(backup, *backupBytes);
  } else {
    DeleteFileA(backup.c_str());
  }
  if (mainBytes) {
    ok = WriteFileBytes(main, *mainBytes) && ok;
  } else {
    DeleteFileA(main.c_str());
  }
  g_writtenAt = GetTickCount64();
  return ok;
}

bool WriteSettings(const std::string& text) {
  std::string sealed = Sealed(text);
  if (!text.empty() && sealed.empty()) return false;
  const bool ok = text.empty() ? WriteSettingsFiles(nullptr, nullptr) : WriteSettingsFiles(&sealed, nullptr);
  if (!g_written) g_written = new std::string;
  *g_written = text;
  g_writtenKnown = ok;
  return ok;
}

std::string SettingsWith(const std::string& lines) { return lines + BuildDefaultSettingsText(); }

}  // namespace qvtest
