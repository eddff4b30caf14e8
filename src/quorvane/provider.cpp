// Quorvane.dll: the layered service provider. Every call goes on to the next
// provider of the chain; connects, the first bytes of a TCP connection and
// every datagram are put to the filter first. The chains clear
// XP1_IFS_HANDLES, so the sockets the programs see are our own handles (made
// by the WPUCreateSocketHandle upcall), and overlapped calls are completed
// here: the next provider's operation runs on an OVERLAPPED of ours, its
// completion arrives at a private completion port (or, where the next
// provider's handle cannot join one, at a thread-pool wait), and is then
// handed to the program through the upcalls.
//
// Rules kept everywhere: nothing throws out of a provider function, no lock
// is held while the next provider runs, and a failure of our own lets the
// traffic pass.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <ws2spi.h>
#include <mswsock.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "quorvane/firstbytes.h"
#include "quorvane/policy.h"
#include "quorvane/testhooks.h"

using quorvane::CutShort;
using quorvane::StartsRequest;
using quorvane::Proto;

namespace {

const GUID kLayeredGuid = {0xc5fabbd0, 0x9736, 0x11d1, {0x93, 0x7f, 0x00, 0xc0, 0x4f, 0xad, 0x86, 0x0d}};
const GUID kConnectExGuid = WSAID_CONNECTEX;
const GUID kAcceptExGuid = WSAID_ACCEPTEX;
const GUID kDisconnectExGuid = WSAID_DISCONNECTEX;
const GUID kTransmitFileGuid = WSAID_TRANSMITFILE;
const GUID kRecvMsgGuid = WSAID_WSARECVMSG;
const GUID kSendMsgGuid = WSAID_WSASENDMSG;
const GUID kGetAcceptExSockaddrsGuid = WSAID_GETACCEPTEXSOCKADDRS;

constexpr size_t kInspectBytes = 16384;  // as much as the engine looks at
constexpr int kFirstSends = 64;          // sends gathered at most for a request cut short

// One started chain: the next provider and what we learnt of it.
struct Next {
  DWORD chainId = 0;
  WSAPROTOCOL_INFOW chain = {};
  WSPPROC_TABLE table = {};
  LONG starts = 0;
  // The next provider's extension functions, looked up on first use.
  void* volatile connectEx = nullptr;
  void* volatile acceptEx = nullptr;
  void* volatile disconnectEx = nullptr;
  void* volatile transmitFile = nullptr;
  void* volatile recvMsg = nullptr;
  void* volatile sendMsg = nullptr;
};

struct Sock {
  SOCKET self = INVALID_SOCKET;   // the program's handle
  SOCKET lower = INVALID_SOCKET;  // the next provider's
  Next* next = nullptr;
  Proto proto = Proto::kTcp;
  bool stream = false;
  volatile LONG refs = 1;        // the open handle plus each outstanding operation
  volatile LONG inspected = 0;   // 0 not yet judged, 2 being judged, 1 judged
  volatile LONG refused = 0;     // blocked: every further send fails
  volatile LONG port = 0;        // 0 untried, 1 on our completion port, 2 refused
  volatile LONG pageMode = 0;    // receives answer the block page, then the end
  volatile LONG plainHttp = 0;   // its first bytes were a plain HTTP request
  volatile LONG laterBusy = 0;   // a later request of it is being judged
  SRWLOCK lock = SRWLOCK_INIT;   // guards remote, page and the event choices
  sockaddr_storage remote = {};
  int remoteLength = 0;
  std::string page;
  size_t pageOffset = 0;
  // The first bytes so far, while they are a request or hello cut short;
  // emptied once the connection is judged.
  std::string first;
  int firstSends = 0;
  // What the program asked to be told of (WSPEventSelect, WSPAsyncSelect):
  // the next provider never sees the page, so we tell of it ourselves.
  WSAEVENT selectEvent = nullptr;
  LONG selectMask = 0;
  bool selectCloseTold = false;
  HWND asyncWindow = nullptr;
  UINT asyncMessage = 0;
  LONG asyncMask = 0;
  bool asyncCloseTold = false;
};
typedef std::shared_ptr<Sock> SockPtr;

// An overlapped operation of ours, on behalf of the program's one.
struct Op {
  WSAOVERLAPPED ov;  // handed to the next provider
  SockPtr sock;
  LPWSAOVERLAPPED app = nullptr;
  LPWSAOVERLAPPED_COMPLETION_ROUTINE routine = nullptr;
  WSATHREADID thread = {};
  HANDLE wait = nullptr;
  volatile LONG holds = 1;  // 2 while a thread-pool wait may still run
  bool viaPort = false;
};

struct ApcCall {
  LPWSAOVERLAPPED_COMPLETION_ROUTINE routine;
  DWORD error, bytes, flags;
  LPWSAOVERLAPPED app;
};

// Process-wide state. Never freed: late completions may still arrive while
// the process ends.
struct Globals {
  SRWLOCK lock = SRWLOCK_INIT;  // guards the maps and the op set
  std::unordered_map<SOCKET, SockPtr> sockets;
  std::unordered_map<SOCKET, SOCKET> byLower;
  std::unordered_set<Op*> ops;
  SRWLOCK nextLock = SRWLOCK_INIT;
  std::vector<Next*> nexts;
  WSPUPCALLTABLE upcalls = {};
  WSPUPCALLTABLE lowerUpcalls = {};
  LPWPUCOMPLETEOVERLAPPEDREQUEST complete = nullptr;
  QuorvaneHooks hooks = {};
  bool hooked = false;
  volatile LONG starts = 0;
  HANDLE port = nullptr;
  volatile LONG portState = 0;  // 0 none, 1 being made, 2 ready, 3 failed
  volatile LONG liveOps = 0;
};

Globals& G() {
  static Globals* g = new Globals;
  return *g;
}

SockPtr Find(SOCKET s) {
  Globals& g = G();
  SockPtr p;
  AcquireSRWLockShared(&g.lock);
  auto it = g.sockets.find(s);
  if (it != g.sockets.end()) p = it->second;
  ReleaseSRWLockShared(&g.lock);
  return p;
}

SOCKET SelfOfLower(SOCKET lower) {
  Globals& g = G();
  SOCKET s = INVALID_SOCKET;
  AcquireSRWLockShared(&g.lock);
  auto it = g.byLower.find(lower);
  if (it != g.byLower.end()) s = it->second;
  ReleaseSRWLockShared(&g.lock);
  return s;
}

void ReleaseRef(Sock* sk) {
  if (InterlockedDecrement(&sk->refs) == 0) {
    int err = 0;
    if (G().upcalls.lpWPUCloseSocketHandle) G().upcalls.lpWPUCloseSocketHandle(sk->self, &err);
  }
}

Next* FindNext(DWORD chainId) {
  Globals& g = G();
  Next* n = nullptr;
  AcquireSRWLockShared(&g.nextLock);
  for (Next* x : g.nexts)
    if (x->chainId == chainId) n = x;
  if (!n && !g.nexts.empty()) n = g.nexts.front();
  ReleaseSRWLockShared(&g.nextLock);
  return n;
}

Next* AnyNext() { return FindNext(0); }

Proto ProtoOf(int type, int protocol) {
  if (type == SOCK_STREAM || protocol == IPPROTO_TCP) return Proto::kTcp;
  if (type == SOCK_DGRAM || protocol == IPPROTO_UDP) return Proto::kUdp;
  return Proto::kRaw;
}

// Registers a socket of the next provider under a handle of our own.
SOCKET Adopt(Next* next, SOCKET lower, int type, int protocol, LPINT lpErrno) {
  Globals& g = G();
  SockPtr sk;
  try {
    sk = std::make_shared<Sock>();
  } catch (...) {
  }
  int err = 0;
  if (!sk || !g.upcalls.lpWPUCreateSocketHandle) {
    next->table.lpWSPCloseSocket(lower, &err);
    *lpErrno = WSAENOBUFS;
    return INVALID_SOCKET;
  }
  sk->lower = lower;
  sk->next = next;
  sk->proto = ProtoOf(type, protocol);
  sk->stream = type == SOCK_STREAM;
  SOCKET self = g.upcalls.lpWPUCreateSocketHandle(next->chainId, reinterpret_cast<DWORD_PTR>(sk.get()), &err);
  if (self == INVALID_SOCKET) {
    int e2 = 0;
    next->table.lpWSPCloseSocket(lower, &e2);
    *lpErrno = err ? err : WSAENOBUFS;
    return INVALID_SOCKET;
  }
  sk->self = self;
  bool ok = true;
  AcquireSRWLockExclusive(&g.lock);
  try {
    g.sockets[self] = sk;
    g.byLower[lower] = self;
  } catch (...) {
    g.sockets.erase(self);
    ok = false;
  }
  ReleaseSRWLockExclusive(&g.lock);
  if (!ok) {
    int e2 = 0;
    next->table.lpWSPCloseSocket(lower, &e2);
    g.upcalls.lpWPUCloseSocketHandle(self, &e2);
    *lpErrno = WSAENOBUFS;
    return INVALID_SOCKET;
  }
  return self;
}

void SetRemote(Sock* sk, const sockaddr* name, int len) {
  if (!name || len <= 0) return;
  if (len > static_cast<int>(sizeof sk->remote)) len = sizeof sk->remote;
  AcquireSRWLockExclusive(&sk->lock);
  memcpy(&sk->remote, name, len);
  sk->remoteLength = len;
  ReleaseSRWLockExclusive(&sk->lock);
}

// The connection's remote address; asks the next provider when we did not see the connect.
int GetRemote(Sock* sk, sockaddr_storage* out) {
  AcquireSRWLockShared(&sk->lock);
  int len = sk->remoteLength;
  if (len) memcpy(out, &sk->remote, len);
  ReleaseSRWLockShared(&sk->lock);
  if (len) return len;
  int n = sizeof *out, err = 0;
  if (sk->next->table.lpWSPGetPeerName(sk->lower, reinterpret_cast<sockaddr*>(out), &n, &err) != 0) return 0;
  SetRemote(sk, reinterpret_cast<sockaddr*>(out), n);
  return n;
}

// Up to kInspectBytes of the buffers, without a copy when one buffer holds them.
const uint8_t* Gather(const WSABUF* bufs, DWORD count, std::vector<uint8_t>* store, size_t* length) {
  *length = 0;
  if (!bufs || count == 0) return nullptr;
  if (count == 1) {
    *length = bufs[0].len < kInspectBytes ? bufs[0].len : kInspectBytes;
    return reinterpret_cast<const uint8_t*>(bufs[0].buf);
  }
  for (DWORD i = 0; i < count && store->size() < kInspectBytes; ++i) {
    size_t take = bufs[i].len;
    if (take > kInspectBytes - store->size()) take = kInspectBytes - store->size();
    if (take && bufs[i].buf) store->insert(store->end(), bufs[i].buf, bufs[i].buf + take);
  }
  *length = store->size();
  return store->data();
}

enum class Check { kPass, kRefuse, kPage };

void TellPage(Sock* sk);

void CutOff(Sock* sk) {
  int err = 0;
  InterlockedExchange(&sk->refused, 1);
  sk->next->table.lpWSPShutdown(sk->lower, SD_BOTH, &err);
}

// A block: the page for a plain HTTP request, else a refusal; either way
// the connection is cut off.
Check Blocked(Sock* sk, quorvane::Answer* a) {
  if (a->http) {
    AcquireSRWLockExclusive(&sk->lock);
    sk->page.swap(a->page);
    sk->pageOffset = 0;
    ReleaseSRWLockExclusive(&sk->lock);
    InterlockedExchange(&sk->pageMode, 1);
    CutOff(sk);
    TellPage(sk);
    return Check::kPage;
  }
  CutOff(sk);
  return Check::kRefuse;
}

// A later send of a plain HTTP connection that begins a request of its own
// (a browser keeps the connection for the next pages of the site): judged
// as a first request is, on the bytes of this send alone.
Check CheckLaterRequest(Sock* sk, const WSABUF* bufs, DWORD count) {
  if (InterlockedCompareExchange(&sk->laterBusy, 1, 0) != 0) return Check::kPass;
  Check result = Check::kPass;
  try {
    // The first bytes alone tell a request; a body sent in several buffers
    // is not copied for it.
    uint8_t head[32];
    size_t have = 0;
    for (DWORD i = 0; bufs && i < count && have < sizeof head; ++i) {
      size_t take = bufs[i].len < sizeof head - have ? bufs[i].len : sizeof head - have;
      if (!take || !bufs[i].buf) continue;
      memcpy(head + have, bufs[i].buf, take);
      have += take;
    }
    std::vector<uint8_t> store;
    size_t n = 0;
    const uint8_t* data = StartsRequest(head, have) ? Gather(bufs, count, &store, &n) : nullptr;
    if (data && n) {
      sockaddr_storage remote;
      int len = GetRemote(sk, &remote);
      quorvane::Answer a =
          quorvane::Decide(sk->proto, len ? reinterpret_cast<sockaddr*>(&remote) : nullptr, len, data, n);
      if (a.block) result = Blocked(sk, &a);
    }
  } catch (...) {
    result = Check::kPass;
  }
  InterlockedExchange(&sk->laterBusy, 0);
  return result;
}

// The first bytes of a TCP connection: judged with those of earlier sends
// while they are cut short; later sends pass unless it was refused or they
// begin another request of a plain HTTP connection.
Check CheckFirstSend(Sock* sk, const WSABUF* bufs, DWORD count) {
  if (sk->refused) return sk->pageMode ? Check::kPage : Check::kRefuse;
  if (InterlockedCompareExchange(&sk->inspected, 2, 0) != 0)
    return sk->inspected == 1 && sk->plainHttp ? CheckLaterRequest(sk, bufs, count) : Check::kPass;
  LONG after = 1;  // judged, unless the bytes are cut short
  Check result = Check::kPass;
  try {
    std::vector<uint8_t> store;
    size_t n = 0;
    const uint8_t* data = Gather(bufs, count, &store, &n);
    std::string first;
    AcquireSRWLockExclusive(&sk->lock);
    first.swap(sk->first);
    const int sends = ++sk->firstSends;
    ReleaseSRWLockExclusive(&sk->lock);
    if (!first.empty() && data && n) {
      size_t take = n < kInspectBytes - first.size() ? n : kInspectBytes - first.size();
      first.append(reinterpret_cast<const char*>(data), take);
      data = reinterpret_cast<const uint8_t*>(first.data());
      n = first.size();
    } else if (!first.empty()) {
      data = reinterpret_cast<const uint8_t*>(first.data());
      n = first.size();
    }
    if (n == 0 || !data) {
      // A send of no bytes shows nothing: the next one still carries the first bytes.
      after = 0;
    } else {
      sockaddr_storage remote;
      int len = GetRemote(sk, &remote);
      quorvane::Answer a =
          quorvane::Decide(sk->proto, len ? reinterpret_cast<sockaddr*>(&remote) : nullptr, len, data, n);
      if (a.block) {
        result = Blocked(sk, &a);
      } else if (n < kInspectBytes && sends < kFirstSends && CutShort(data, n)) {
        if (first.empty()) first.assign(reinterpret_cast<const char*>(data), n);
        AcquireSRWLockExclusive(&sk->lock);
        sk->first.swap(first);
        ReleaseSRWLockExclusive(&sk->lock);
        after = 0;
      } else if (a.request) {
        InterlockedExchange(&sk->plainHttp, 1);  // before it counts as judged
      }
    }
  } catch (...) {
    after = 1;
    result = Check::kPass;
  }
  InterlockedExchange(&sk->inspected, after);
  return result;
}

bool AllowConnect(Sock* sk, const sockaddr* name, int len) {
  SetRemote(sk, name, len);
  return !quorvane::Decide(sk->proto, name, len, nullptr, 0).block;
}

bool AllowDatagram(Sock* sk, const sockaddr* to, int toLen, const WSABUF* bufs, DWORD count) {
  try {
    sockaddr_storage remote;
    if (!to) {
      toLen = GetRemote(sk, &remote);
      to = toLen ? reinterpret_cast<sockaddr*>(&remote) : nullptr;
    }
    std::vector<uint8_t> store;
    size_t n = 0;
    const uint8_t* data = Gather(bufs, count, &store, &n);
    return !quorvane::Decide(sk->proto, to, toLen, data, n).block;
  } catch (...) {
    return true;
  }
}

DWORD SumLength(const WSABUF* bufs, DWORD count) {
  DWORD total = 0;
  for (DWORD i = 0; bufs && i < count; ++i) total += bufs[i].len;
  return total;
}

// Copies the rest of the block page into the buffers; 0 bytes once it is all
// read. A peek leaves it to be read again.
DWORD ReadPage(Sock* sk, WSABUF* bufs, DWORD count, LPDWORD flags) {
  const bool peek = flags && (*flags & MSG_PEEK);
  if (flags) *flags = 0;
  DWORD done = 0;
  AcquireSRWLockExclusive(&sk->lock);
  size_t at = sk->pageOffset;
  for (DWORD i = 0; bufs && i < count && at < sk->page.size(); ++i) {
    size_t take = sk->page.size() - at;
    if (take > bufs[i].len) take = bufs[i].len;
    if (take) memcpy(bufs[i].buf, sk->page.data() + at, take);
    at += take;
    done += static_cast<DWORD>(take);
  }
  if (!peek) sk->pageOffset = at;
  ReleaseSRWLockExclusive(&sk->lock);
  return done;
}

// Tells a program that waits for network events of the page: readable while
// some of it is left, then closed, once.
void TellPage(Sock* sk) {
  Globals& g = G();
  AcquireSRWLockExclusive(&sk->lock);
  const bool left = sk->pageOffset < sk->page.size();
  WSAEVENT event = nullptr;
  if (sk->selectEvent && (sk->selectMask & (left ? FD_READ : FD_CLOSE)) && (left || !sk->selectCloseTold))
    event = sk->selectEvent;
  HWND window = nullptr;
  UINT message = sk->asyncMessage;
  LPARAM what = 0;
  if (sk->asyncWindow && left && (sk->asyncMask & FD_READ)) {
    window = sk->asyncWindow;
    what = WSAMAKESELECTREPLY(FD_READ, 0);
  } else if (sk->asyncWindow && !left && (sk->asyncMask & FD_CLOSE) && !sk->asyncCloseTold) {
    window = sk->asyncWindow;
    what = WSAMAKESELECTREPLY(FD_CLOSE, 0);
    sk->asyncCloseTold = true;
  }
  ReleaseSRWLockExclusive(&sk->lock);
  int err = 0;
  if (event && g.upcalls.lpWPUSetEvent) g.upcalls.lpWPUSetEvent(event, &err);
  if (window && g.upcalls.lpWPUPostMessage)
    g.upcalls.lpWPUPostMessage(window, message, static_cast<WPARAM>(sk->self), what);
}

// The page's part of WSPEnumNetworkEvents.
LONG PageEvents(Sock* sk) {
  AcquireSRWLockExclusive(&sk->lock);
  LONG events = 0;
  if (sk->pageOffset < sk->page.size()) {
    events = sk->selectMask & FD_READ;
  } else if (!sk->selectCloseTold && (sk->selectMask & FD_CLOSE)) {
    events = FD_CLOSE;
    sk->selectCloseTold = true;
  }
  ReleaseSRWLockExclusive(&sk->lock);
  return events;
}

// ---- overlapped completion ----

void CALLBACK RunApc(DWORD_PTR context) {
  ApcCall* c = reinterpret_cast<ApcCall*>(context);
  LPWSAOVERLAPPED_COMPLETION_ROUTINE routine = c->routine;
  DWORD error = c->error, bytes = c->bytes, flags = c->flags;
  LPWSAOVERLAPPED app = c->app;
  delete c;
  routine(error, bytes, app, flags);
}

bool TakeOp(Op* op) {
  Globals& g = G();
  AcquireSRWLockExclusive(&g.lock);
  bool had = g.ops.erase(op) != 0;
  ReleaseSRWLockExclusive(&g.lock);
  return had;
}

void DropOp(Op* op) {
  if (InterlockedDecrement(&op->holds) != 0) return;
  if (op->wait) UnregisterWait(op->wait);
  if (op->ov.hEvent) CloseHandle(op->ov.hEvent);
  delete op;
}

void FreeOp(Op* op) {
  SockPtr sk;
  sk.swap(op->sock);
  InterlockedDecrement(&G().liveOps);
  ReleaseRef(sk.get());
  DropOp(op);
}

// Tells the program that its operation ended: the result goes into its
// OVERLAPPED (our WSPGetOverlappedResult reads it from there), then its
// completion routine is queued, or its event or completion port told.
void Finish(Op* op, DWORD error, DWORD bytes, DWORD flags) {
  LPWSAOVERLAPPED app = op->app;
  app->InternalHigh = bytes;
  app->Offset = flags;
  app->OffsetHigh = error;
  MemoryBarrier();
  app->Internal = error;
  int err = 0;
  if (op->routine) {
    ApcCall* c = new (std::nothrow) ApcCall{op->routine, error, bytes, flags, app};
    if (c && (!G().upcalls.lpWPUQueueApc ||
              G().upcalls.lpWPUQueueApc(&op->thread, &RunApc, reinterpret_cast<DWORD_PTR>(c), &err) != 0))
      delete c;
  } else if (G().complete) {
    G().complete(op->sock->self, app, error, bytes, &err);
  } else if (app->hEvent) {
    SetEvent(app->hEvent);
  }
  FreeOp(op);
}

void CompleteFromLower(Op* op, bool portOk) {
  Sock* sk = op->sock.get();
  DWORD bytes = 0, flags = 0;
  int err = 0;
  if (sk->next->table.lpWSPGetOverlappedResult(sk->lower, &op->ov, &bytes, FALSE, &flags, &err)) {
    err = 0;
  } else {
    if (err == 0 || err == WSAENOTSOCK) err = portOk ? WSAENOTSOCK : WSA_OPERATION_ABORTED;
    if (err == WSA_IO_INCOMPLETE) err = WSA_OPERATION_ABORTED;
  }
  if (!err && bytes == 0) bytes = static_cast<DWORD>(op->ov.InternalHigh);
  Finish(op, static_cast<DWORD>(err), bytes, flags);
}

DWORD WINAPI PortWorker(void*) {
  for (;;) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* ov = nullptr;
    BOOL ok = GetQueuedCompletionStatus(G().port, &bytes, &key, &ov, INFINITE);
    if (!ov) {
      if (!ok && GetLastError() != WAIT_TIMEOUT) Sleep(10);
      continue;
    }
    // Only packets of our own operations are touched.
    Op* op = CONTAINING_RECORD(reinterpret_cast<WSAOVERLAPPED*>(ov), Op, ov);
    if (!TakeOp(op)) continue;
    try {
      CompleteFromLower(op, ok != FALSE);
    } catch (...) {
    }
  }
  return 0;
}

void CALLBACK WaitDone(void* context, BOOLEAN) {
  Op* op = static_cast<Op*>(context);
  if (!TakeOp(op)) return;
  try {
    CompleteFromLower(op, true);
  } catch (...) {
  }
}

bool EnsurePort() {
  Globals& g = G();
  for (;;) {
    LONG st = InterlockedCompareExchange(&g.portState, 1, 0);
    if (st == 2) return true;
    if (st == 3) return false;
    if (st == 1) {
      Sleep(0);
      continue;
    }
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    HANDLE t = port ? CreateThread(nullptr, 64 * 1024, &PortWorker, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                    : nullptr;
    if (!t) {
      if (port) CloseHandle(port);
      InterlockedExchange(&g.portState, 3);
      return false;
    }
    g.port = port;
    CloseHandle(t);
    InterlockedExchange(&g.portState, 2);
    return true;
  }
}

bool BindToPort(Sock* sk) {
  LONG st = sk->port;
  if (st == 1) return true;
  if (st == 2) return false;
  bool ok = EnsurePort() &&
            CreateIoCompletionPort(reinterpret_cast<HANDLE>(sk->lower), G().port, 0x51564e, 0) != nullptr;
  InterlockedExchange(&sk->port, ok ? 1 : 2);
  return ok;
}

Op* NewOp(const SockPtr& sk, LPWSAOVERLAPPED app, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
          LPWSATHREADID thread) {
  Op* op = new (std::nothrow) Op;
  if (!op) return nullptr;
  memset(&op->ov, 0, sizeof op->ov);
  try {
    op->sock = sk;
  } catch (...) {
    delete op;
    return nullptr;
  }
  op->app = app;
  op->routine = routine;
  if (thread) op->thread = *thread;
  InterlockedIncrement(&sk->refs);
  InterlockedIncrement(&G().liveOps);
  app->Internal = WSS_OPERATION_IN_PROGRESS;
  app->InternalHigh = 0;
  return op;
}

// A finished operation of our own (the block page) told the usual way.
int CompleteNow(const SockPtr& sk, LPWSAOVERLAPPED app, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                LPWSATHREADID thread, DWORD bytes, LPINT lpErrno) {
  Op* op = NewOp(sk, app, routine, thread);
  if (!op) {
    *lpErrno = WSAENOBUFS;
    return SOCKET_ERROR;
  }
  Finish(op, 0, bytes, 0);
  *lpErrno = WSA_IO_PENDING;
  return SOCKET_ERROR;
}

// Runs issue(ov, &err) -> started?, on an OVERLAPPED of ours, and completes
// the program's OVERLAPPED when the next provider's operation ends.
template <class Issue>
int RunOverlapped(const SockPtr& sk, LPWSAOVERLAPPED app, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                  LPWSATHREADID thread, LPINT lpErrno, Issue issue) {
  Op* op = NewOp(sk, app, routine, thread);
  if (!op) {
    *lpErrno = WSAENOBUFS;
    return SOCKET_ERROR;
  }
  op->viaPort = BindToPort(sk.get());
  if (!op->viaPort) {
    op->ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!op->ov.hEvent) {
      app->Internal = WSAENOBUFS;
      FreeOp(op);
      *lpErrno = WSAENOBUFS;
      return SOCKET_ERROR;
    }
  }
  Globals& g = G();
  bool added = true;
  AcquireSRWLockExclusive(&g.lock);
  try {
    g.ops.insert(op);
  } catch (...) {
    added = false;
  }
  ReleaseSRWLockExclusive(&g.lock);
  if (!added) {
    app->Internal = WSAENOBUFS;
    FreeOp(op);
    *lpErrno = WSAENOBUFS;
    return SOCKET_ERROR;
  }
  int err = 0;
  if (!issue(&op->ov, &err)) {
    if (TakeOp(op)) {
      if (err == 0) err = WSAENOBUFS;
      app->OffsetHigh = err;
      app->InternalHigh = 0;
      app->Internal = err;
      FreeOp(op);
      *lpErrno = err;
      return SOCKET_ERROR;
    }
    // A completion came all the same: it is told the usual way.
  } else if (!op->viaPort) {
    HANDLE wait = nullptr;
    InterlockedExchange(&op->holds, 2);
    if (RegisterWaitForSingleObject(&wait, op->ov.hEvent, &WaitDone, op, INFINITE,
                                    WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD)) {
      // Whichever of us lets go last unregisters the wait and frees op.
      InterlockedExchangePointer(&op->wait, wait);
      DropOp(op);
    } else {
      InterlockedExchange(&op->holds, 1);
      WaitForSingleObject(op->ov.hEvent, INFINITE);
      if (TakeOp(op)) CompleteFromLower(op, true);
    }
  }
  *lpErrno = WSA_IO_PENDING;
  return SOCKET_ERROR;
}

// The lower call's usual answer for "started": 0, or SOCKET_ERROR with WSA_IO_PENDING.
bool Started(int rc, int err) { return rc == 0 || err == WSA_IO_PENDING; }

// ---- the procedure table ----

#define LOOKUP(s)                 \
  SockPtr sk = Find(s);           \
  if (!sk) {                      \
    *lpErrno = WSAENOTSOCK;       \
    return SOCKET_ERROR;          \
  }

#define GUARDED_BEGIN try {
#define GUARDED_END(fail)     \
  }                           \
  catch (...) {               \
    *lpErrno = WSAENOBUFS;    \
    return fail;              \
  }

SOCKET WSPAPI QvSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW info, GROUP g, DWORD flags,
                       LPINT lpErrno) {
  GUARDED_BEGIN
  Next* next = FindNext(info ? info->dwCatalogEntryId : 0);
  if (!next) {
    *lpErrno = WSAEPROVIDERFAILEDINIT;
    return INVALID_SOCKET;
  }
  SOCKET lower = next->table.lpWSPSocket(af, type, protocol, info ? info : &next->chain, g, flags, lpErrno);
  if (lower == INVALID_SOCKET) return INVALID_SOCKET;
  if (type == 0 && info) type = info->iSocketType;
  if (protocol == 0 && info) protocol = info->iProtocol;
  return Adopt(next, lower, type, protocol, lpErrno);
  GUARDED_END(INVALID_SOCKET)
}

int WSPAPI QvCloseSocket(SOCKET s, LPINT lpErrno) {
  GUARDED_BEGIN
  Globals& g = G();
  SockPtr sk;
  AcquireSRWLockExclusive(&g.lock);
  auto it = g.sockets.find(s);
  if (it != g.sockets.end()) {
    sk = it->second;
    g.sockets.erase(it);
    auto lo = g.byLower.find(sk->lower);
    if (lo != g.byLower.end() && lo->second == s) g.byLower.erase(lo);
  }
  ReleaseSRWLockExclusive(&g.lock);
  if (!sk) {
    *lpErrno = WSAENOTSOCK;
    return SOCKET_ERROR;
  }
  int rc = sk->next->table.lpWSPCloseSocket(sk->lower, lpErrno);
  ReleaseRef(sk.get());
  return rc;
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvConnect(SOCKET s, const sockaddr* name, int namelen, LPWSABUF caller, LPWSABUF callee, LPQOS sqos,
                     LPQOS gqos, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (!AllowConnect(sk.get(), name, namelen)) {
    *lpErrno = WSAECONNREFUSED;
    return SOCKET_ERROR;
  }
  return sk->next->table.lpWSPConnect(sk->lower, name, namelen, caller, callee, sqos, gqos, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvSend(SOCKET s, LPWSABUF bufs, DWORD count, LPDWORD sent, DWORD flags, LPWSAOVERLAPPED ov,
                  LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (sk->stream) {
    Check c = CheckFirstSend(sk.get(), bufs, count);
    if (c == Check::kRefuse) {
      *lpErrno = WSAEACCES;
      return SOCKET_ERROR;
    }
    if (c == Check::kPage) {
      // The request goes nowhere; the program reads the page instead.
      DWORD n = SumLength(bufs, count);
      if (ov) return CompleteNow(sk, ov, routine, thread, n, lpErrno);
      if (sent) *sent = n;
      return 0;
    }
  } else if (!AllowDatagram(sk.get(), nullptr, 0, bufs, count)) {
    *lpErrno = WSAEACCES;
    return SOCKET_ERROR;
  }
  if (!ov) return sk->next->table.lpWSPSend(sk->lower, bufs, count, sent, flags, nullptr, nullptr, thread, lpErrno);
  Sock* raw = sk.get();
  return RunOverlapped(sk, ov, routine, thread, lpErrno, [&](WSAOVERLAPPED* mine, int* err) {
    DWORD n = 0;
    int rc = raw->next->table.lpWSPSend(raw->lower, bufs, count, &n, flags, mine, nullptr, thread, err);
    return Started(rc, *err);
  });
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvSendTo(SOCKET s, LPWSABUF bufs, DWORD count, LPDWORD sent, DWORD flags, const sockaddr* to, int tolen,
                    LPWSAOVERLAPPED ov, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                    LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (sk->stream) {
    Check c = CheckFirstSend(sk.get(), bufs, count);
    if (c == Check::kRefuse) {
      *lpErrno = WSAEACCES;
      return SOCKET_ERROR;
    }
    if (c == Check::kPage) {
      DWORD n = SumLength(bufs, count);
      if (ov) return CompleteNow(sk, ov, routine, thread, n, lpErrno);
      if (sent) *sent = n;
      return 0;
    }
  } else if (!AllowDatagram(sk.get(), to, tolen, bufs, count)) {
    *lpErrno = WSAEACCES;
    return SOCKET_ERROR;
  }
  if (!ov)
    return sk->next->table.lpWSPSendTo(sk->lower, bufs, count, sent, flags, to, tolen, nullptr, nullptr, thread,
                                       lpErrno);
  Sock* raw = sk.get();
  return RunOverlapped(sk, ov, routine, thread, lpErrno, [&](WSAOVERLAPPED* mine, int* err) {
    DWORD n = 0;
    int rc = raw->next->table.lpWSPSendTo(raw->lower, bufs, count, &n, flags, to, tolen, mine, nullptr, thread, err);
    return Started(rc, *err);
  });
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvRecv(SOCKET s, LPWSABUF bufs, DWORD count, LPDWORD got, LPDWORD flags, LPWSAOVERLAPPED ov,
                  LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (sk->pageMode) {
    DWORD n = ReadPage(sk.get(), bufs, count, flags);
    TellPage(sk.get());
    if (ov) return CompleteNow(sk, ov, routine, thread, n, lpErrno);
    if (got) *got = n;
    return 0;
  }
  if (!ov) return sk->next->table.lpWSPRecv(sk->lower, bufs, count, got, flags, nullptr, nullptr, thread, lpErrno);
  Sock* raw = sk.get();
  return RunOverlapped(sk, ov, routine, thread, lpErrno, [&](WSAOVERLAPPED* mine, int* err) {
    DWORD n = 0;
    int rc = raw->next->table.lpWSPRecv(raw->lower, bufs, count, &n, flags, mine, nullptr, thread, err);
    return Started(rc, *err);
  });
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvRecvFrom(SOCKET s, LPWSABUF bufs, DWORD count, LPDWORD got, LPDWORD flags, sockaddr* from,
                      LPINT fromlen, LPWSAOVERLAPPED ov, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                      LPWSATHREADID thread, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (sk->pageMode) {
    DWORD n = ReadPage(sk.get(), bufs, count, flags);
    TellPage(sk.get());
    if (ov) return CompleteNow(sk, ov, routine, thread, n, lpErrno);
    if (got) *got = n;
    return 0;
  }
  if (!ov)
    return sk->next->table.lpWSPRecvFrom(sk->lower, bufs, count, got, flags, from, fromlen, nullptr, nullptr, thread,
                                         lpErrno);
  Sock* raw = sk.get();
  return RunOverlapped(sk, ov, routine, thread, lpErrno, [&](WSAOVERLAPPED* mine, int* err) {
    DWORD n = 0;
    int rc =
        raw->next->table.lpWSPRecvFrom(raw->lower, bufs, count, &n, flags, from, fromlen, mine, nullptr, thread, err);
    return Started(rc, *err);
  });
  GUARDED_END(SOCKET_ERROR)
}

BOOL WSPAPI QvGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED ov, LPDWORD bytes, BOOL wait, LPDWORD flags,
                                  LPINT lpErrno) {
  try {
    (void)s;
    if (!ov) {
      *lpErrno = WSAEFAULT;
      return FALSE;
    }
    while (static_cast<LONG>(ov->Internal) == WSS_OPERATION_IN_PROGRESS) {
      if (!wait) {
        *lpErrno = WSA_IO_INCOMPLETE;
        return FALSE;
      }
      if (!ov->hEvent || WaitForSingleObject(ov->hEvent, 100) == WAIT_FAILED) Sleep(1);
    }
    MemoryBarrier();
    if (bytes) *bytes = static_cast<DWORD>(ov->InternalHigh);
    if (flags) *flags = ov->Offset;
    if (ov->OffsetHigh != 0) {
      *lpErrno = static_cast<int>(ov->OffsetHigh);
      return FALSE;
    }
    return TRUE;
  } catch (...) {
    *lpErrno = WSAENOBUFS;
    return FALSE;
  }
}

// ---- extension functions ----

template <class Fn>
Fn LowerExtension(Sock* sk, void* volatile* slot, const GUID& id) {
  void* p = *slot;
  if (!p) {
    GUID guid = id;
    DWORD got = 0;
    int err = 0;
    if (sk->next->table.lpWSPIoctl(sk->lower, SIO_GET_EXTENSION_FUNCTION_POINTER, &guid, sizeof guid, &p,
                                   sizeof p, &got, nullptr, nullptr, nullptr, &err) != 0)
      p = nullptr;
    if (p) InterlockedExchangePointer(const_cast<void**>(slot), p);
  }
  return reinterpret_cast<Fn>(p);
}

BOOL PASCAL QvConnectEx(SOCKET s, const sockaddr* name, int namelen, PVOID data, DWORD dataLength,
                        LPDWORD sent, LPOVERLAPPED ov) {
  (void)sent;
  try {
    SockPtr sk = Find(s);
    if (!sk) {
      WSASetLastError(WSAENOTSOCK);
      return FALSE;
    }
    LPFN_CONNECTEX fn = LowerExtension<LPFN_CONNECTEX>(sk.get(), &sk->next->connectEx, kConnectExGuid);
    if (!fn || !ov) {
      WSASetLastError(fn ? WSAEINVAL : WSAEOPNOTSUPP);
      return FALSE;
    }
    if (!AllowConnect(sk.get(), name, namelen)) {
      WSASetLastError(WSAECONNREFUSED);
      return FALSE;
    }
    if (data && dataLength) {
      WSABUF b = {dataLength, static_cast<char*>(data)};
      if (CheckFirstSend(sk.get(), &b, 1) != Check::kPass) {
        WSASetLastError(WSAEACCES);
        return FALSE;
      }
    }
    int err = 0;
    Sock* raw = sk.get();
    RunOverlapped(sk, ov, nullptr, nullptr, &err, [&](WSAOVERLAPPED* mine, int* e) {
      DWORD n = 0;
      if (fn(raw->lower, name, namelen, data, dataLength, &n, mine)) return true;
      *e = WSAGetLastError();
      return *e == WSA_IO_PENDING;
    });
    WSASetLastError(err);
    return FALSE;
  } catch (...) {
    WSASetLastError(WSAENOBUFS);
    return FALSE;
  }
}

BOOL PASCAL QvAcceptEx(SOCKET listen, SOCKET accept, PVOID buffer, DWORD dataLength, DWORD localLength,
                       DWORD remoteLength, LPDWORD got, LPOVERLAPPED ov) {
  (void)got;
  try {
    SockPtr sk = Find(listen), ak = Find(accept);
    if (!sk || !ak) {
      WSASetLastError(WSAENOTSOCK);
      return FALSE;
    }
    LPFN_ACCEPTEX fn = LowerExtension<LPFN_ACCEPTEX>(sk.get(), &sk->next->acceptEx, kAcceptExGuid);
    if (!fn || !ov) {
      WSASetLastError(fn ? WSAEINVAL : WSAEOPNOTSUPP);
      return FALSE;
    }
    int err = 0;
    Sock* raw = sk.get();
    SOCKET lowerAccept = ak->lower;
    RunOverlapped(sk, ov, nullptr, nullptr, &err, [&](WSAOVERLAPPED* mine, int* e) {
      DWORD n = 0;
      if (fn(raw->lower, lowerAccept, buffer, dataLength, localLength, remoteLength, &n, mine)) return true;
      *e = WSAGetLastError();
      return *e == WSA_IO_PENDING;
    });
    WSASetLastError(err);
    return FALSE;
  } catch (...) {
    WSASetLastError(WSAENOBUFS);
    return FALSE;
  }
}

BOOL PASCAL QvDisconnectEx(SOCKET s, LPOVERLAPPED ov, DWORD flags, DWORD reserved) {
  try {
    SockPtr sk = Find(s);
    if (!sk) {
      WSASetLastError(WSAENOTSOCK);
      return FALSE;
    }
    LPFN_DISCONNECTEX fn = LowerExtension<LPFN_DISCONNECTEX>(sk.get(), &sk->next->disconnectEx, kDisconnectExGuid);
    if (!fn) {
      WSASetLastError(WSAEOPNOTSUPP);
      return FALSE;
    }
    if (!ov) return fn(sk->lower, nullptr, flags, reserved);
    int err = 0;
    Sock* raw = sk.get();
    RunOverlapped(sk, ov, nullptr, nullptr, &err, [&](WSAOVERLAPPED* mine, int* e) {
      if (fn(raw->lower, mine, flags, reserved)) return true;
      *e = WSAGetLastError();
      return *e == WSA_IO_PENDING;
    });
    WSASetLastError(err);
    return FALSE;
  } catch (...) {
    WSASetLastError(WSAENOBUFS);
    return FALSE;
  }
}

BOOL PASCAL QvTransmitFile(SOCKET s, HANDLE file, DWORD total, DWORD perSend, LPOVERLAPPED ov,
                           LPTRANSMIT_FILE_BUFFERS buffers, DWORD flags) {
  try {
    SockPtr sk = Find(s);
    if (!sk) {
      WSASetLastError(WSAENOTSOCK);
      return FALSE;
    }
    LPFN_TRANSMITFILE fn = LowerExtension<LPFN_TRANSMITFILE>(sk.get(), &sk->next->transmitFile, kTransmitFileGuid);
    if (!fn) {
      WSASetLastError(WSAEOPNOTSUPP);
      return FALSE;
    }
    if (sk->refused) {
      WSASetLastError(WSAEACCES);
      return FALSE;
    }
    InterlockedExchange(&sk->inspected, 1);  // file contents are no request we could read
    if (!ov) return fn(sk->lower, file, total, perSend, nullptr, buffers, flags);
    int err = 0;
    Sock* raw = sk.get();
    RunOverlapped(sk, ov, nullptr, nullptr, &err, [&](WSAOVERLAPPED* mine, int* e) {
      mine->Offset = ov->Offset;  // the file position travels in the OVERLAPPED
      mine->OffsetHigh = ov->OffsetHigh;
      if (fn(raw->lower, file, total, perSend, mine, buffers, flags)) return true;
      *e = WSAGetLastError();
      return *e == WSA_IO_PENDING;
    });
    WSASetLastError(err);
    return FALSE;
  } catch (...) {
    WSASetLastError(WSAENOBUFS);
    return FALSE;
  }
}

INT PASCAL QvRecvMsg(SOCKET s, LPWSAMSG msg, LPDWORD got, LPWSAOVERLAPPED ov,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE routine) {
  try {
    SockPtr sk = Find(s);
    if (!sk) {
      WSASetLastError(WSAENOTSOCK);
      return SOCKET_ERROR;
    }
    LPFN_WSARECVMSG fn = LowerExtension<LPFN_WSARECVMSG>(sk.get(), &sk->next->recvMsg, kRecvMsgGuid);
    if (!fn) {
      WSASetLastError(WSAEOPNOTSUPP);
      return SOCKET_ERROR;
    }
    if (!ov) return fn(sk->lower, msg, got, nullptr, nullptr);
    WSATHREADID thread = {};
    if (routine) {
      int e = 0;
      if (!G().upcalls.lpWPUOpenCurrentThread || G().upcalls.lpWPUOpenCurrentThread(&thread, &e) != 0) {
        WSASetLastError(WSAEOPNOTSUPP);
        return SOCKET_ERROR;
      }
    }
    int err = 0;
    Sock* raw = sk.get();
    RunOverlapped(sk, ov, routine, &thread, &err, [&](WSAOVERLAPPED* mine, int* e) {
      DWORD n = 0;
      if (fn(raw->lower, msg, &n, mine, nullptr) == 0) return true;
      *e = WSAGetLastError();
      return *e == WSA_IO_PENDING;
    });
    WSASetLastError(err);
    return SOCKET_ERROR;
  } catch (...) {
    WSASetLastError(WSAENOBUFS);
    return SOCKET_ERROR;
  }
}

INT WSAAPI QvSendMsg(SOCKET s, LPWSAMSG msg, DWORD flags, LPDWORD sent, LPWSAOVERLAPPED ov,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE routine) {
  try {
    SockPtr sk = Find(s);
    if (!sk) {
      WSASetLastError(WSAENOTSOCK);
      return SOCKET_ERROR;
    }
    LPFN_WSASENDMSG fn = LowerExtension<LPFN_WSASENDMSG>(sk.get(), &sk->next->sendMsg, kSendMsgGuid);
    if (!fn) {
      WSASetLastError(WSAEOPNOTSUPP);
      return SOCKET_ERROR;
    }
    if (msg) {
      bool allow = true;
      if (sk->stream) {
        Check c = CheckFirstSend(sk.get(), msg->lpBuffers, msg->dwBufferCount);
        allow = c == Check::kPass;
      } else {
        allow = AllowDatagram(sk.get(), msg->name, msg->name ? msg->namelen : 0, msg->lpBuffers, msg->dwBufferCount);
      }
      if (!allow) {
        WSASetLastError(WSAEACCES);
        return SOCKET_ERROR;
      }
    }
    if (!ov) return fn(sk->lower, msg, flags, sent, nullptr, nullptr);
    WSATHREADID thread = {};
    if (routine) {
      int e = 0;
      if (!G().upcalls.lpWPUOpenCurrentThread || G().upcalls.lpWPUOpenCurrentThread(&thread, &e) != 0) {
        WSASetLastError(WSAEOPNOTSUPP);
        return SOCKET_ERROR;
      }
    }
    int err = 0;
    Sock* raw = sk.get();
    RunOverlapped(sk, ov, routine, &thread, &err, [&](WSAOVERLAPPED* mine, int* e) {
      DWORD n = 0;
      if (fn(raw->lower, msg, flags, &n, mine, nullptr) == 0) return true;
      *e = WSAGetLastError();
      return *e == WSA_IO_PENDING;
    });
    WSASetLastError(err);
    return SOCKET_ERROR;
  } catch (...) {
    WSASetLastError(WSAENOBUFS);
    return SOCKET_ERROR;
  }
}

int WSPAPI QvIoctl(SOCKET s, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength, LPDWORD returned,
                   LPWSAOVERLAPPED ov, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                   LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (code == SIO_GET_EXTENSION_FUNCTION_POINTER) {
    if (!in || inLength < sizeof(GUID) || !out || outLength < sizeof(void*)) {
      *lpErrno = WSAEFAULT;
      return SOCKET_ERROR;
    }
    GUID id;
    memcpy(&id, in, sizeof id);
    void* mine = nullptr;
    void* volatile* slot = nullptr;
    if (IsEqualGUID(id, kConnectExGuid)) {
      mine = reinterpret_cast<void*>(&QvConnectEx), slot = &sk->next->connectEx;
    } else if (IsEqualGUID(id, kAcceptExGuid)) {
      mine = reinterpret_cast<void*>(&QvAcceptEx), slot = &sk->next->acceptEx;
    } else if (IsEqualGUID(id, kDisconnectExGuid)) {
      mine = reinterpret_cast<void*>(&QvDisconnectEx), slot = &sk->next->disconnectEx;
    } else if (IsEqualGUID(id, kTransmitFileGuid)) {
      mine = reinterpret_cast<void*>(&QvTransmitFile), slot = &sk->next->transmitFile;
    } else if (IsEqualGUID(id, kRecvMsgGuid)) {
      mine = reinterpret_cast<void*>(&QvRecvMsg), slot = &sk->next->recvMsg;
    } else if (IsEqualGUID(id, kSendMsgGuid)) {
      mine = reinterpret_cast<void*>(&QvSendMsg), slot = &sk->next->sendMsg;
    }
    if (mine) {
      if (!LowerExtension<void*>(sk.get(), slot, id)) {
        *lpErrno = WSAEINVAL;
        return SOCKET_ERROR;
      }
      memcpy(out, &mine, sizeof mine);
      if (returned) *returned = sizeof mine;
      return 0;
    }
    // Functions that take no socket (GetAcceptExSockaddrs) are the next
    // provider's own; others that we do not know would get our handle and
    // fail cleanly there.
    (void)kGetAcceptExSockaddrsGuid;
    return sk->next->table.lpWSPIoctl(sk->lower, code, in, inLength, out, outLength, returned, nullptr, nullptr,
                                      thread, lpErrno);
  }
  if (code == SIO_BASE_HANDLE || code == SIO_BSP_HANDLE || code == SIO_BSP_HANDLE_SELECT ||
      code == SIO_BSP_HANDLE_POLL) {
    // The program must keep using our handle, or its traffic would bypass the filter.
    if (!out || outLength < sizeof(SOCKET)) {
      *lpErrno = WSAEFAULT;
      return SOCKET_ERROR;
    }
    memcpy(out, &s, sizeof s);
    if (returned) *returned = sizeof s;
    return 0;
  }
  if (!ov)
    return sk->next->table.lpWSPIoctl(sk->lower, code, in, inLength, out, outLength, returned, nullptr, nullptr,
                                      thread, lpErrno);
  Sock* raw = sk.get();
  return RunOverlapped(sk, ov, routine, thread, lpErrno, [&](WSAOVERLAPPED* mine, int* err) {
    DWORD n = 0;
    int rc = raw->next->table.lpWSPIoctl(raw->lower, code, in, inLength, out, outLength, &n, mine, nullptr, thread,
                                         err);
    return Started(rc, *err);
  });
  GUARDED_END(SOCKET_ERROR)
}

// ---- calls that pass straight on ----

SOCKET WSPAPI QvAccept(SOCKET s, sockaddr* addr, LPINT addrlen, LPCONDITIONPROC condition, DWORD_PTR data,
                       LPINT lpErrno) {
  GUARDED_BEGIN
  SockPtr sk = Find(s);
  if (!sk) {
    *lpErrno = WSAENOTSOCK;
    return INVALID_SOCKET;
  }
  SOCKET lower = sk->next->table.lpWSPAccept(sk->lower, addr, addrlen, condition, data, lpErrno);
  if (lower == INVALID_SOCKET) return INVALID_SOCKET;
  return Adopt(sk->next, lower, sk->stream ? SOCK_STREAM : SOCK_DGRAM, sk->stream ? IPPROTO_TCP : 0, lpErrno);
  GUARDED_END(INVALID_SOCKET)
}

int WSPAPI QvAddressToString(LPSOCKADDR address, DWORD length, LPWSAPROTOCOL_INFOW info, LPWSTR text,
                             LPDWORD textLength, LPINT lpErrno) {
  GUARDED_BEGIN
  Next* next = FindNext(info ? info->dwCatalogEntryId : 0);
  if (!next) {
    *lpErrno = WSAEPROVIDERFAILEDINIT;
    return SOCKET_ERROR;
  }
  return next->table.lpWSPAddressToString(address, length, info, text, textLength, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvStringToAddress(LPWSTR text, INT family, LPWSAPROTOCOL_INFOW info, LPSOCKADDR address,
                             LPINT length, LPINT lpErrno) {
  GUARDED_BEGIN
  Next* next = FindNext(info ? info->dwCatalogEntryId : 0);
  if (!next) {
    *lpErrno = WSAEPROVIDERFAILEDINIT;
    return SOCKET_ERROR;
  }
  return next->table.lpWSPStringToAddress(text, family, info, address, length, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvAsyncSelect(SOCKET s, HWND hwnd, unsigned int msg, LONG events, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  // The next provider posts with its own handle; our WPUPostMessage puts ours in.
  int rc = sk->next->table.lpWSPAsyncSelect(sk->lower, hwnd, msg, events, lpErrno);
  if (rc == 0) {
    AcquireSRWLockExclusive(&sk->lock);
    sk->asyncWindow = events ? hwnd : nullptr;
    sk->asyncMessage = msg;
    sk->asyncMask = events;
    sk->selectEvent = nullptr;
    sk->selectMask = 0;
    ReleaseSRWLockExclusive(&sk->lock);
    if (sk->pageMode) TellPage(sk.get());
  }
  return rc;
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvBind(SOCKET s, const sockaddr* name, int namelen, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  return sk->next->table.lpWSPBind(sk->lower, name, namelen, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvCancelBlockingCall(LPINT lpErrno) {
  GUARDED_BEGIN
  Next* next = AnyNext();
  if (!next) return 0;
  return next->table.lpWSPCancelBlockingCall(lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvCleanup(LPINT lpErrno) {
  GUARDED_BEGIN
  Globals& g = G();
  if (InterlockedDecrement(&g.starts) > 0) return 0;
  // The last one: every started chain is cleaned up as often as it was started.
  std::vector<Next*> all;
  AcquireSRWLockShared(&g.nextLock);
  all = g.nexts;
  ReleaseSRWLockShared(&g.nextLock);
  int rc = 0;
  for (Next* n : all) {
    while (InterlockedCompareExchange(&n->starts, 0, 0) > 0) {
      InterlockedDecrement(&n->starts);
      int err = 0;
      if (n->table.lpWSPCleanup(&err) != 0) {
        rc = SOCKET_ERROR;
        *lpErrno = err;
      }
    }
  }
  return rc;
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvDuplicateSocket(SOCKET s, DWORD pid, LPWSAPROTOCOL_INFOW info, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  int rc = sk->next->table.lpWSPDuplicateSocket(sk->lower, pid, info, lpErrno);
  if (rc == 0 && info) {
    // The other process must come back through this chain.
    DWORD reserved = info->dwProviderReserved;
    *info = sk->next->chain;
    info->dwProviderReserved = reserved;
  }
  return rc;
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvEnumNetworkEvents(SOCKET s, WSAEVENT event, LPWSANETWORKEVENTS events, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  int rc = sk->next->table.lpWSPEnumNetworkEvents(sk->lower, event, events, lpErrno);
  if (rc == 0 && events && sk->pageMode) {
    // What the next provider says of its cut-off connection is not what the program sees.
    events->lNetworkEvents &= ~(FD_READ | FD_CLOSE);
    LONG mine = PageEvents(sk.get());
    events->lNetworkEvents |= mine;
    if (mine & FD_READ) events->iErrorCode[FD_READ_BIT] = 0;
    if (mine & FD_CLOSE) events->iErrorCode[FD_CLOSE_BIT] = 0;
  }
  return rc;
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvEventSelect(SOCKET s, WSAEVENT event, LONG events, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  int rc = sk->next->table.lpWSPEventSelect(sk->lower, event, events, lpErrno);
  if (rc == 0) {
    // One choice replaces the other, as the platform keeps them.
    AcquireSRWLockExclusive(&sk->lock);
    sk->selectEvent = events ? event : nullptr;
    sk->selectMask = events;
    sk->asyncWindow = nullptr;
    sk->asyncMask = 0;
    ReleaseSRWLockExclusive(&sk->lock);
    if (sk->pageMode) TellPage(sk.get());
  }
  return rc;
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvGetPeerName(SOCKET s, sockaddr* name, LPINT namelen, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  return sk->next->table.lpWSPGetPeerName(sk->lower, name, namelen, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvGetSockName(SOCKET s, sockaddr* name, LPINT namelen, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  return sk->next->table.lpWSPGetSockName(sk->lower, name, namelen, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvGetSockOpt(SOCKET s, int level, int name, char* value, LPINT length, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (level == SOL_SOCKET && name == SO_PROTOCOL_INFOW && value && length &&
      *length >= static_cast<int>(sizeof(WSAPROTOCOL_INFOW))) {
    int rc = sk->next->table.lpWSPGetSockOpt(sk->lower, level, name, value, length, lpErrno);
    if (rc == 0) {
      // The program sees the chain it asked for, not the provider below.
      WSAPROTOCOL_INFOW* p = reinterpret_cast<WSAPROTOCOL_INFOW*>(value);
      DWORD reserved = p->dwProviderReserved;
      *p = sk->next->chain;
      p->dwProviderReserved = reserved;
    }
    return rc;
  }
  return sk->next->table.lpWSPGetSockOpt(sk->lower, level, name, value, length, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

BOOL WSPAPI QvGetQOSByName(SOCKET s, LPWSABUF name, LPQOS qos, LPINT lpErrno) {
  GUARDED_BEGIN
  SockPtr sk = Find(s);
  if (!sk) {
    *lpErrno = WSAENOTSOCK;
    return FALSE;
  }
  return sk->next->table.lpWSPGetQOSByName(sk->lower, name, qos, lpErrno);
  GUARDED_END(FALSE)
}

SOCKET WSPAPI QvJoinLeaf(SOCKET s, const sockaddr* name, int namelen, LPWSABUF caller, LPWSABUF callee, LPQOS sqos,
                         LPQOS gqos, DWORD flags, LPINT lpErrno) {
  GUARDED_BEGIN
  SockPtr sk = Find(s);
  if (!sk) {
    *lpErrno = WSAENOTSOCK;
    return INVALID_SOCKET;
  }
  if (!AllowConnect(sk.get(), name, namelen)) {
    *lpErrno = WSAECONNREFUSED;
    return INVALID_SOCKET;
  }
  SOCKET r = sk->next->table.lpWSPJoinLeaf(sk->lower, name, namelen, caller, callee, sqos, gqos, flags, lpErrno);
  if (r == INVALID_SOCKET) return INVALID_SOCKET;
  if (r == sk->lower) return s;
  return Adopt(sk->next, r, sk->stream ? SOCK_STREAM : SOCK_DGRAM, 0, lpErrno);
  GUARDED_END(INVALID_SOCKET)
}

int WSPAPI QvListen(SOCKET s, int backlog, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  return sk->next->table.lpWSPListen(sk->lower, backlog, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvRecvDisconnect(SOCKET s, LPWSABUF data, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  return sk->next->table.lpWSPRecvDisconnect(sk->lower, data, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvSendDisconnect(SOCKET s, LPWSABUF data, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  return sk->next->table.lpWSPSendDisconnect(sk->lower, data, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvSetSockOpt(SOCKET s, int level, int name, const char* value, int length, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (level == SOL_SOCKET && name == SO_UPDATE_ACCEPT_CONTEXT && value && length >= static_cast<int>(sizeof(SOCKET))) {
    // The value names the listening socket: the next provider knows it by its own handle.
    SOCKET listen;
    memcpy(&listen, value, sizeof listen);
    SockPtr lk = Find(listen);
    if (lk) {
      SOCKET lower = lk->lower;
      return sk->next->table.lpWSPSetSockOpt(sk->lower, level, name, reinterpret_cast<const char*>(&lower),
                                             sizeof lower, lpErrno);
    }
  }
  return sk->next->table.lpWSPSetSockOpt(sk->lower, level, name, value, length, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

int WSPAPI QvShutdown(SOCKET s, int how, LPINT lpErrno) {
  GUARDED_BEGIN
  LOOKUP(s)
  if (sk->pageMode) return 0;
  return sk->next->table.lpWSPShutdown(sk->lower, how, lpErrno);
  GUARDED_END(SOCKET_ERROR)
}

// fd_sets hold our handles: the next provider gets its own, and the answer is mapped back.
int WSPAPI QvSelect(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const PTIMEVAL timeout,
                    LPINT lpErrno) {
  GUARDED_BEGIN
  fd_set* sets[3] = {readfds, writefds, exceptfds};
  fd_set lower[3];
  std::vector<std::pair<SOCKET, SOCKET>> pairs;  // (ours, lower)
  Next* next = nullptr;
  SOCKET pageReady[FD_SETSIZE];
  u_int pages = 0;
  for (int i = 0; i < 3; ++i) {
    FD_ZERO(&lower[i]);
    if (!sets[i]) continue;
    for (u_int k = 0; k < sets[i]->fd_count && k < FD_SETSIZE; ++k) {
      SOCKET s = sets[i]->fd_array[k];
      SockPtr sk = Find(s);
      if (!sk) {
        *lpErrno = WSAENOTSOCK;
        return SOCKET_ERROR;
      }
      if (!next) next = sk->next;
      if (i == 0 && sk->pageMode && pages < FD_SETSIZE) pageReady[pages++] = s;
      lower[i].fd_array[lower[i].fd_count++] = sk->lower;
      pairs.emplace_back(s, sk->lower);
    }
  }
  if (!next) next = AnyNext();
  if (!next) {
    *lpErrno = WSAEINVAL;
    return SOCKET_ERROR;
  }
  timeval zero = {0, 0};
  int rc = next->table.lpWSPSelect(nfds, sets[0] ? &lower[0] : nullptr, sets[1] ? &lower[1] : nullptr,
                                   sets[2] ? &lower[2] : nullptr, pages ? &zero : timeout, lpErrno);
  if (rc == SOCKET_ERROR) return rc;
  int total = 0;
  for (int i = 0; i < 3; ++i) {
    if (!sets[i]) continue;
    fd_set answer;
    FD_ZERO(&answer);
    for (u_int k = 0; k < lower[i].fd_count; ++k) {
      for (const auto& p : pairs) {
        if (p.second == lower[i].fd_array[k]) {
          bool dup = false;
          for (u_int j = 0; j < answer.fd_count; ++j) dup = dup || answer.fd_array[j] == p.first;
          if (!dup && answer.fd_count < FD_SETSIZE) answer.fd_array[answer.fd_count++] = p.first;
          break;
        }
      }
    }
    if (i == 0) {
      for (u_int k = 0; k < pages; ++k) {
        bool dup = false;
        for (u_int j = 0; j < answer.fd_count; ++j) dup = dup || answer.fd_array[j] == pageReady[k];
        if (!dup && answer.fd_count < FD_SETSIZE) answer.fd_array[answer.fd_count++] = pageReady[k];
      }
    }
    total += answer.fd_count;
    *sets[i] = answer;
  }
  return total;
  GUARDED_END(SOCKET_ERROR)
}

// The next provider's posted messages name its own socket; the program knows ours.
BOOL WSPAPI QvPostMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  SOCKET self = SelfOfLower(static_cast<SOCKET>(wparam));
  if (self != INVALID_SOCKET) {
    wparam = static_cast<WPARAM>(self);
    // A connection that answers the block page tells of its reading and end itself.
    const LONG event = WSAGETSELECTEVENT(lparam);
    if ((event == FD_READ || event == FD_CLOSE)) {
      SockPtr sk = Find(self);
      if (sk && sk->pageMode) return TRUE;
    }
  }
  LPWPUPOSTMESSAGE post = G().upcalls.lpWPUPostMessage;
  return post ? post(hwnd, msg, wparam, lparam) : FALSE;
}

void FillTable(WSPPROC_TABLE* t) {
  t->lpWSPAccept = QvAccept;
  t->lpWSPAddressToString = QvAddressToString;
  t->lpWSPAsyncSelect = QvAsyncSelect;
  t->lpWSPBind = QvBind;
  t->lpWSPCancelBlockingCall = QvCancelBlockingCall;
  t->lpWSPCleanup = QvCleanup;
  t->lpWSPCloseSocket = QvCloseSocket;
  t->lpWSPConnect = QvConnect;
  t->lpWSPDuplicateSocket = QvDuplicateSocket;
  t->lpWSPEnumNetworkEvents = QvEnumNetworkEvents;
  t->lpWSPEventSelect = QvEventSelect;
  t->lpWSPGetOverlappedResult = QvGetOverlappedResult;
  t->lpWSPGetPeerName = QvGetPeerName;
  t->lpWSPGetSockName = QvGetSockName;
  t->lpWSPGetSockOpt = QvGetSockOpt;
  t->lpWSPGetQOSByName = QvGetQOSByName;
  t->lpWSPIoctl = QvIoctl;
  t->lpWSPJoinLeaf = QvJoinLeaf;
  t->lpWSPListen = QvListen;
  t->lpWSPRecv = QvRecv;
  t->lpWSPRecvDisconnect = QvRecvDisconnect;
  t->lpWSPRecvFrom = QvRecvFrom;
  t->lpWSPSelect = QvSelect;
  t->lpWSPSend = QvSend;
  t->lpWSPSendDisconnect = QvSendDisconnect;
  t->lpWSPSendTo = QvSendTo;
  t->lpWSPSetSockOpt = QvSetSockOpt;
  t->lpWSPShutdown = QvShutdown;
  t->lpWSPSocket = QvSocket;
  t->lpWSPStringToAddress = QvStringToAddress;
}

// ---- finding and starting the next provider ----

// The record and library path of a catalogue entry, from the catalogue (or the test host).
int LookUpEntry(DWORD id, WSAPROTOCOL_INFOW* info, std::wstring* path) {
  Globals& g = G();
  WCHAR buf[MAX_PATH];
  if (g.hooked) {
    int rc = g.hooks.findProvider ? g.hooks.findProvider(id, info, buf, MAX_PATH) : WSAEINVAL;
    if (rc != 0) return rc;
    buf[MAX_PATH - 1] = 0;
    *path = buf;
    return 0;
  }
  DWORD size = 0;
  int err = 0;
  if (WSCEnumProtocols(nullptr, nullptr, &size, &err) != SOCKET_ERROR || err != WSAENOBUFS || size == 0)
    return WSAEPROVIDERFAILEDINIT;
  std::vector<WSAPROTOCOL_INFOW> all(size / sizeof(WSAPROTOCOL_INFOW) + 1);
  size = static_cast<DWORD>(all.size() * sizeof(WSAPROTOCOL_INFOW));
  int n = WSCEnumProtocols(nullptr, all.data(), &size, &err);
  if (n == SOCKET_ERROR) return err ? err : WSAEPROVIDERFAILEDINIT;
  for (int i = 0; i < n; ++i) {
    if (all[i].dwCatalogEntryId != id) continue;
    *info = all[i];
    int len = MAX_PATH;
    if (WSCGetProviderPath(&all[i].ProviderId, buf, &len, &err) != 0) return err ? err : WSAEPROVIDERFAILEDINIT;
    buf[MAX_PATH - 1] = 0;
    *path = buf;
    return 0;
  }
  return WSAEPROVIDERFAILEDINIT;
}

DWORD LayeredId() {
  Globals& g = G();
  if (g.hooked) return g.hooks.layeredId;
  DWORD size = 0;
  int err = 0;
  if (WSCEnumProtocols(nullptr, nullptr, &size, &err) != SOCKET_ERROR || err != WSAENOBUFS || size == 0) return 0;
  std::vector<WSAPROTOCOL_INFOW> all(size / sizeof(WSAPROTOCOL_INFOW) + 1);
  size = static_cast<DWORD>(all.size() * sizeof(WSAPROTOCOL_INFOW));
  int n = WSCEnumProtocols(nullptr, all.data(), &size, &err);
  for (int i = 0; i < n; ++i)
    if (IsEqualGUID(all[i].ProviderId, kLayeredGuid) && all[i].ProtocolChain.ChainLen == 0)
      return all[i].dwCatalogEntryId;
  return 0;
}

int StartNext(WORD version, LPWSPDATA data, LPWSAPROTOCOL_INFOW info, Next** out) {
  const WSAPROTOCOLCHAIN& chain = info->ProtocolChain;
  DWORD layered = LayeredId();
  int len = chain.ChainLen;
  if (len < 2 || len > MAX_PROTOCOL_CHAIN) return WSAEPROVIDERFAILEDINIT;
  int at = -1;
  for (int i = 0; i < len - 1; ++i)
    if (chain.ChainEntries[i] == layered) {
      at = i;
      break;
    }
  if (at < 0) at = 0;  // we are loaded for this chain, so we are its first layer
  DWORD nextId = chain.ChainEntries[at + 1];
  WSAPROTOCOL_INFOW nextInfo;
  std::wstring path;
  int rc = LookUpEntry(nextId, &nextInfo, &path);
  if (rc != 0) return rc;
  WCHAR expanded[MAX_PATH];
  DWORD n = ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return WSAEPROVIDERFAILEDINIT;
  HMODULE lib = LoadLibraryW(expanded);
  if (!lib) return WSAEPROVIDERFAILEDINIT;
  LPWSPSTARTUP start = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(lib, "WSPStartup")));
  if (!start) {
    FreeLibrary(lib);
    return WSAEPROVIDERFAILEDINIT;
  }
  Next* next = new (std::nothrow) Next;
  if (!next) return WSAENOBUFS;
  next->chainId = info->dwCatalogEntryId;
  next->chain = *info;
  rc = start(version, data, info, G().lowerUpcalls, &next->table);
  if (rc != 0) {
    delete next;
    return rc;
  }
  // A table with a hole would crash the first call that needs it.
  void* const* slots = reinterpret_cast<void* const*>(&next->table);
  for (size_t i = 0; i < sizeof next->table / sizeof(void*); ++i) {
    if (!slots[i]) {
      delete next;
      return WSAEPROVIDERFAILEDINIT;
    }
  }
  next->starts = 1;
  *out = next;
  return 0;
}

}  // namespace

extern "C" {

void WINAPI QuorvaneSetHooks(const QuorvaneHooks* hooks) {
  Globals& g = G();
  if (hooks) {
    g.hooks = *hooks;
    g.hooked = true;
  } else {
    g.hooked = false;
  }
}

void WINAPI QuorvaneCounts(LONG* sockets, LONG* operations) {
  Globals& g = G();
  AcquireSRWLockShared(&g.lock);
  if (sockets) *sockets = static_cast<LONG>(g.sockets.size());
  ReleaseSRWLockShared(&g.lock);
  if (operations) *operations = g.liveOps;
}

int WSPAPI WSPStartup(WORD version, LPWSPDATA data, LPWSAPROTOCOL_INFOW info, WSPUPCALLTABLE upcalls,
                      LPWSPPROC_TABLE table) {
  try {
    if (!info || !table || !data) return WSAEINVAL;
    Globals& g = G();
    // Completions may arrive late: stay loaded for the life of the process.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&WSPStartup), &self);
    g.upcalls = upcalls;
    g.lowerUpcalls = upcalls;
    g.lowerUpcalls.lpWPUPostMessage = &QvPostMessage;
    if (g.hooked && g.hooks.completeOverlapped) {
      g.complete = g.hooks.completeOverlapped;
    } else if (!g.complete) {
      HMODULE ws = GetModuleHandleA("ws2_32.dll");
      g.complete = ws ? reinterpret_cast<LPWPUCOMPLETEOVERLAPPEDREQUEST>(
                            reinterpret_cast<void*>(GetProcAddress(ws, "WPUCompleteOverlappedRequest")))
                      : nullptr;
    }
    Next* existing = nullptr;
    AcquireSRWLockShared(&g.nextLock);
    for (Next* n : g.nexts)
      if (n->chainId == info->dwCatalogEntryId) existing = n;
    ReleaseSRWLockShared(&g.nextLock);
    if (existing) {
      // The next provider was started once for this chain and is cleaned up once.
      int rc = 0;
      data->wVersion = version;
      data->wHighVersion = MAKEWORD(2, 2);
      wcsncpy(data->szDescription, L"Quorvane", WSPDESCRIPTION_LEN);
      data->szDescription[WSPDESCRIPTION_LEN] = 0;
      FillTable(table);
      InterlockedIncrement(&g.starts);
      return rc;
    }
    Next* next = nullptr;
    int rc = StartNext(version, data, info, &next);
    if (rc != 0) return rc;
    AcquireSRWLockExclusive(&g.nextLock);
    try {
      g.nexts.push_back(next);
    } catch (...) {
      ReleaseSRWLockExclusive(&g.nextLock);
      return WSAENOBUFS;
    }
    ReleaseSRWLockExclusive(&g.nextLock);
    FillTable(table);
    InterlockedIncrement(&g.starts);
    return 0;
  } catch (...) {
    return WSAEPROVIDERFAILEDINIT;
  }
}

}  // extern "C"
