// The test host plays ws2_32's part for Quorvane.dll: it hands the library
// the records of a chain [layered, base] and the upcall table, and the
// library runs over the test base provider (TestBase.dll, real sockets).
// Also a small loopback server and the settings file, for tests and bench.
#pragma once
#include <winsock2.h>
#include <ws2spi.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

// What the layer sees as the remote host; the base provider connects to 127.0.0.1.
constexpr const char* kRemoteHost = "203.0.113.5";

sockaddr_in RemoteAddress(unsigned short port);
sockaddr_in LoopbackAddress(unsigned short port);
// A real socket of the platform bound to 127.0.0.1 on a free port (Winsock
// started first); *port gets the port.
SOCKET BindLoopback(int type, int protocol, unsigned short* port);

class Host {
 public:
  // layered: Quorvane.dll over TestBase.dll; otherwise TestBase.dll alone.
  bool Start(bool layered, std::string* error);
  const WSPPROC_TABLE& T() const { return table_; }

  SOCKET Socket(int type, int protocol, int* err);
  // The program's completion port for a socket, as CreateIoCompletionPort would bind it.
  void Associate(SOCKET s, HANDLE port, ULONG_PTR key);
  // The calling thread, for completion routines.
  WSATHREADID ThisThread();
  // Handles made and closed through the upcalls.
  static long OpenHandles();

  bool layered() const { return layered_; }
  // The record a program's socket of this type was made for.
  const WSAPROTOCOL_INFOW& Chain(int type) const { return type == SOCK_STREAM ? tcpChain_ : udpChain_; }

 private:
  bool layered_ = false;
  WSPPROC_TABLE table_ = {};
  WSAPROTOCOL_INFOW tcpChain_ = {}, udpChain_ = {};
};

// Live sockets and operations inside Quorvane.dll.
void LibraryCounts(long* sockets, long* operations);

// A TCP server on 127.0.0.1: echoes what it gets, and keeps the bytes.
class Server {
 public:
  Server();
  ~Server();
  unsigned short port() const { return port_; }
  std::string Received();  // everything received so far, in arrival order of chunks
  long Connections() const { return connections_; }

 private:
  void Serve(SOCKET c);
  SOCKET listen_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::string received_;
  std::vector<std::thread> clients_;
  std::atomic<long> connections_{0};
  std::atomic<bool> stop_{false};
};

// Writes the settings text, sealed, as the control program does (main file
// only; the backup is removed). Empty: both files removed.
bool WriteSettings(const std::string& text);
// The stored form of a settings text, sealed as the control program seals it.
std::string Sealed(const std::string& text);
// The main and the backup file with these bytes; null: the file removed.
bool WriteSettingsFiles(const std::string* mainBytes, const std::string* backupBytes);
// The text of the last write and its time (GetTickCount64); false when the
// last write was not one of WriteSettings or failed (its time still given).
bool LastWritten(std::string* text, ULONGLONG* at);
// The default text with the given lines put in front (the first occurrence of a key counts).
std::string SettingsWith(const std::string& lines);

std::string ExeDirectory();

}  // namespace qvtest
