// A base provider for the tests: every call is made on a real socket of the
// platform. Addresses in 203.0.113.0/24 (a documentation range) are taken
// to 127.0.0.1, so the layer above sees a remote host while the traffic
// stays on the loopback interface; their port 53 goes to the test's DNS
// server (QV_TEST_DNS_PORT), where one is set.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <ws2spi.h>
#include <mswsock.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const GUID kConnectEx = WSAID_CONNECTEX;
LPFN_CONNECTEX g_realConnectEx = nullptr;

// A copy of name with the test range taken to loopback.
const sockaddr* Redirect(const sockaddr* name, int len, sockaddr_storage* store) {
  if (!name || len < static_cast<int>(sizeof(sockaddr_in)) || name->sa_family != AF_INET) return name;
  const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(name);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&in->sin_addr);
  if (b[0] != 203 || b[1] != 0 || b[2] != 113) return name;
  memcpy(store, name, sizeof(sockaddr_in));
  sockaddr_in* out = reinterpret_cast<sockaddr_in*>(store);
  out->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char port[16];
  DWORD n = GetEnvironmentVariableA("QV_TEST_DNS_PORT", port, sizeof port);
  if (ntohs(out->sin_port) == 53 && n > 0 && n < sizeof port) out->sin_port = htons(static_cast<u_short>(atoi(port)));
  return reinterpret_cast<sockaddr*>(store);
}

int Fail(LPINT err) {
  *err = WSAGetLastError();
  return SOCKET_ERROR;
}

SOCKET WSPAPI TbAccept(SOCKET s, sockaddr* addr, LPINT addrlen, LPCONDITIONPROC cond, DWORD_PTR data, LPINT err) {
  SOCKET r = WSAAccept(s, addr, addrlen, cond, data);
  if (r == INVALID_SOCKET) *err = WSAGetLastError();
  return r;
}
int WSPAPI TbAddressToString(LPSOCKADDR a, DWORD l, LPWSAPROTOCOL_INFOW, LPWSTR t, LPDWORD tl, LPINT err) {
  return WSAAddressToStringW(a, l, nullptr, t, tl) == 0 ? 0 : Fail(err);
}
int WSPAPI TbAsyncSelect(SOCKET s, HWND h, unsigned int m, LONG e, LPINT err) {
  return WSAAsyncSelect(s, h, m, e) == 0 ? 0 : Fail(err);
}
int WSPAPI TbBind(SOCKET s, const sockaddr* n, int l, LPINT err) { return bind(s, n, l) == 0 ? 0 : Fail(err); }
int WSPAPI TbCancelBlockingCall(LPINT) { return 0; }
int WSPAPI TbCleanup(LPINT err) { return WSACleanup() == 0 ? 0 : Fail(err); }
int WSPAPI TbCloseSocket(SOCKET s, LPINT err) { return closesocket(s) == 0 ? 0 : Fail(err); }
int WSPAPI TbConnect(SOCKET s, const sockaddr* n, int l, LPWSABUF, LPWSABUF, LPQOS, LPQOS, LPINT err) {
  sockaddr_storage st;
  return connect(s, Redirect(n, l, &st), l) == 0 ? 0 : Fail(err);
}
int WSPAPI TbDuplicateSocket(SOCKET s, DWORD pid, LPWSAPROTOCOL_INFOW info, LPINT err) {
  return WSADuplicateSocketW(s, pid, info) == 0 ? 0 : Fail(err);
}
int WSPAPI TbEnumNetworkEvents(SOCKET s, WSAEVENT e, LPWSANETWORKEVENTS ne, LPINT err) {
  return WSAEnumNetworkEvents(s, e, ne) == 0 ? 0 : Fail(err);
}
int WSPAPI TbEventSelect(SOCKET s, WSAEVENT e, LONG n, LPINT err) {
  return WSAEventSelect(s, e, n) == 0 ? 0 : Fail(err);
}
BOOL WSPAPI TbGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED ov, LPDWORD n, BOOL w, LPDWORD f, LPINT err) {
  if (WSAGetOverlappedResult(s, ov, n, w, f)) return TRUE;
  *err = WSAGetLastError();
  return FALSE;
}
int WSPAPI TbGetPeerName(SOCKET s, sockaddr* n, LPINT l, LPINT err) { return getpeername(s, n, l) == 0 ? 0 : Fail(err); }
int WSPAPI TbGetSockName(SOCKET s, sockaddr* n, LPINT l, LPINT err) { return getsockname(s, n, l) == 0 ? 0 : Fail(err); }
int WSPAPI TbGetSockOpt(SOCKET s, int lv, int nm, char* v, LPINT l, LPINT err) {
  return getsockopt(s, lv, nm, v, l) == 0 ? 0 : Fail(err);
}
BOOL WSPAPI TbGetQOSByName(SOCKET, LPWSABUF, LPQOS, LPINT err) {
  *err = WSAEOPNOTSUPP;
  return FALSE;
}

BOOL PASCAL TbConnectEx(SOCKET s, const sockaddr* n, int l, PVOID d, DWORD dl, LPDWORD sent, LPOVERLAPPED ov) {
  sockaddr_storage st;
  return g_realConnectEx(s, Redirect(n, l, &st), l, d, dl, sent, ov);
}

int WSPAPI TbIoctl(SOCKET s, DWORD code, LPVOID in, DWORD inl, LPVOID out, DWORD outl, LPDWORD ret,
                   LPWSAOVERLAPPED ov, LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT err) {
  if (WSAIoctl(s, code, in, inl, out, outl, ret, ov, nullptr) != 0) return Fail(err);
  if (code == SIO_GET_EXTENSION_FUNCTION_POINTER && in && inl >= sizeof(GUID) && out &&
      IsEqualGUID(*static_cast<GUID*>(in), kConnectEx)) {
    memcpy(&g_realConnectEx, out, sizeof(void*));
    void* mine = reinterpret_cast<void*>(&TbConnectEx);
    memcpy(out, &mine, sizeof mine);
  }
  return 0;
}
SOCKET WSPAPI TbJoinLeaf(SOCKET s, const sockaddr* n, int l, LPWSABUF a, LPWSABUF b, LPQOS c, LPQOS d, DWORD f,
                         LPINT err) {
  SOCKET r = WSAJoinLeaf(s, n, l, a, b, c, d, f);
  if (r == INVALID_SOCKET) *err = WSAGetLastError();
  return r;
}
int WSPAPI TbListen(SOCKET s, int b, LPINT err) { return listen(s, b) == 0 ? 0 : Fail(err); }
int WSPAPI TbRecv(SOCKET s, LPWSABUF b, DWORD c, LPDWORD n, LPDWORD f, LPWSAOVERLAPPED ov,
                  LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT err) {
  return WSARecv(s, b, c, n, f, ov, nullptr) == 0 ? 0 : Fail(err);
}
int WSPAPI TbRecvDisconnect(SOCKET s, LPWSABUF d, LPINT err) {
  return WSARecvDisconnect(s, d) == 0 ? 0 : Fail(err);
}
int WSPAPI TbRecvFrom(SOCKET s, LPWSABUF b, DWORD c, LPDWORD n, LPDWORD f, sockaddr* fr, LPINT fl,
                      LPWSAOVERLAPPED ov, LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT err) {
  return WSARecvFrom(s, b, c, n, f, fr, fl, ov, nullptr) == 0 ? 0 : Fail(err);
}
int WSPAPI TbSelect(int n, fd_set* r, fd_set* w, fd_set* e, const PTIMEVAL t, LPINT err) {
  int rc = select(n, r, w, e, t);
  return rc == SOCKET_ERROR ? Fail(err) : rc;
}
int WSPAPI TbSend(SOCKET s, LPWSABUF b, DWORD c, LPDWORD n, DWORD f, LPWSAOVERLAPPED ov,
                  LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT err) {
  return WSASend(s, b, c, n, f, ov, nullptr) == 0 ? 0 : Fail(err);
}
int WSPAPI TbSendDisconnect(SOCKET s, LPWSABUF d, LPINT err) {
  return WSASendDisconnect(s, d) == 0 ? 0 : Fail(err);
}
int WSPAPI TbSendTo(SOCKET s, LPWSABUF b, DWORD c, LPDWORD n, DWORD f, const sockaddr* to, int tl,
                    LPWSAOVERLAPPED ov, LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT err) {
  sockaddr_storage st;
  return WSASendTo(s, b, c, n, f, Redirect(to, tl, &st), tl, ov, nullptr) == 0 ? 0 : Fail(err);
}
int WSPAPI TbSetSockOpt(SOCKET s, int lv, int nm, const char* v, int l, LPINT err) {
  return setsockopt(s, lv, nm, v, l) == 0 ? 0 : Fail(err);
}
int WSPAPI TbShutdown(SOCKET s, int how, LPINT err) { return shutdown(s, how) == 0 ? 0 : Fail(err); }
SOCKET WSPAPI TbSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW, GROUP g, DWORD flags, LPINT err) {
  SOCKET s = WSASocketW(af, type, protocol, nullptr, g, flags | WSA_FLAG_OVERLAPPED);
  if (s == INVALID_SOCKET) *err = WSAGetLastError();
  return s;
}
int WSPAPI TbStringToAddress(LPWSTR t, INT f, LPWSAPROTOCOL_INFOW, LPSOCKADDR a, LPINT l, LPINT err) {
  return WSAStringToAddressW(t, f, nullptr, a, l) == 0 ? 0 : Fail(err);
}

}  // namespace

extern "C" int WSPAPI WSPStartup(WORD version, LPWSPDATA data, LPWSAPROTOCOL_INFOW, WSPUPCALLTABLE,
                                 LPWSPPROC_TABLE t) {
  WSADATA wd;
  int rc = WSAStartup(MAKEWORD(2, 2), &wd);
  if (rc != 0) return rc;
  data->wVersion = version;
  data->wHighVersion = MAKEWORD(2, 2);
  wcscpy(data->szDescription, L"Test base");
  t->lpWSPAccept = TbAccept;
  t->lpWSPAddressToString = TbAddressToString;
  t->lpWSPAsyncSelect = TbAsyncSelect;
  t->lpWSPBind = TbBind;
  t->lpWSPCancelBlockingCall = TbCancelBlockingCall;
  t->lpWSPCleanup = TbCleanup;
  t->lpWSPCloseSocket = TbCloseSocket;
  t->lpWSPConnect = TbConnect;
  t->lpWSPDuplicateSocket = TbDuplicateSocket;
  t->lpWSPEnumNetworkEvents = TbEnumNetworkEvents;
  t->lpWSPEventSelect = TbEventSelect;
  t->lpWSPGetOverlappedResult = TbGetOverlappedResult;
  t->lpWSPGetPeerName = TbGetPeerName;
  t->lpWSPGetSockName = TbGetSockName;
  t->lpWSPGetSockOpt = TbGetSockOpt;
  t->lpWSPGetQOSByName = TbGetQOSByName;
  t->lpWSPIoctl = TbIoctl;
  t->lpWSPJoinLeaf = TbJoinLeaf;
  t->lpWSPListen = TbListen;
  t->lpWSPRecv = TbRecv;
  t->lpWSPRecvDisconnect = TbRecvDisconnect;
  t->lpWSPRecvFrom = TbRecvFrom;
  t->lpWSPSelect = TbSelect;
  t->lpWSPSend = TbSend;
  t->lpWSPSendDisconnect = TbSendDisconnect;
  t->lpWSPSendTo = TbSendTo;
  t->lpWSPSetSockOpt = TbSetSockOpt;
  t->lpWSPShutdown = TbShutdown;
  t->lpWSPSocket = TbSocket;
  t->lpWSPStringToAddress = TbStringToAddress;
  return 0;
}
