// What a program's sockets hold and leave behind: pending operations at
// close, accepted connections, the answers that name the provider, many
// threads while the settings change, and damaged settings files.
#include <gtest/gtest.h>

#include <mswsock.h>

#include <string>
#include <thread>
#include <vector>

#include "traffic.h"

using namespace qvtest;

namespace {

// An operation's state goes just after the program was told of its end: a moment's wait.
void ExpectNothingLeft(long handlesBefore) {
  long socks = 0, ops = 0;
  for (int i = 0; i < 300; ++i, Sleep(10)) {
    LibraryCounts(&socks, &ops);
    if (socks == 0 && ops == 0 && Host::OpenHandles() == handlesBefore) break;
  }
  EXPECT_EQ(socks, 0);
  EXPECT_EQ(ops, 0);
  EXPECT_EQ(Host::OpenHandles(), handlesBefore);
}

class PendingAtCloseTest : public ::testing::TestWithParam<bool> {};

// A receive still waiting when the program closes its socket ends with an
// error, is told the usual way, and takes the socket's state with it.
TEST_P(PendingAtCloseTest, EndsAndLeavesNothing) {
  const bool viaPort = GetParam();
  UseSettings("");
  const long handles = Host::OpenHandles();
  Server server;
  HANDLE port = viaPort ? CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1) : nullptr;
  WSAOVERLAPPED ov = {};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  {
    Client c;
    ASSERT_EQ(c.Connect(server.port()), 0);
    if (viaPort) Layered().Associate(c.get(), port, 7);
    char buf[64];
    WSABUF b = {sizeof buf, buf};
    DWORD n = 0, flags = 0;
    int err = 0;
    ASSERT_NE(c.T().lpWSPRecv(c.get(), &b, 1, &n, &flags, &ov, nullptr, nullptr, &err), 0);
    ASSERT_EQ(err, WSA_IO_PENDING);
    EXPECT_EQ(c.Close(), 0);
  }
  if (viaPort) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* got = nullptr;
    GetQueuedCompletionStatus(port, &bytes, &key, &got, 5000);
    EXPECT_EQ(got, &ov);
    EXPECT_EQ(key, 7u);
  } else {
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_OBJECT_0);
  }
  DWORD bytes = 0, flags = 0;
  int err = 0;
  EXPECT_FALSE(Layered().T().lpWSPGetOverlappedResult(INVALID_SOCKET, &ov, &bytes, FALSE, &flags, &err));
  EXPECT_NE(err, 0);
  EXPECT_NE(err, WSA_IO_INCOMPLETE);
  EXPECT_EQ(bytes, 0u);
  CloseHandle(ov.hEvent);
  if (port) CloseHandle(port);
  ExpectNothingLeft(handles);
}

INSTANTIATE_TEST_SUITE_P(Ways, PendingAtCloseTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "CompletionPort" : "Event");
                         });

TEST(Lifecycle, AcceptedConnectionsAreTheLayersToo) {
  UseSettings(ContentSettings());
  const long handles = Host::OpenHandles();
  {
    Client listener;
    sockaddr_in a = LoopbackAddress(0);
    int err = 0;
    ASSERT_EQ(listener.T().lpWSPBind(listener.get(), reinterpret_cast<sockaddr*>(&a), sizeof a, &err), 0) << err;
    int len = sizeof a;
    ASSERT_EQ(listener.T().lpWSPGetSockName(listener.get(), reinterpret_cast<sockaddr*>(&a), &len, &err), 0);
    ASSERT_EQ(listener.T().lpWSPListen(listener.get(), 4, &err), 0) << err;
    // A program of its own connects, on the platform's sockets.
    SOCKET peer = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(connect(peer, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    SOCKET in = listener.T().lpWSPAccept(listener.get(), nullptr, nullptr, nullptr, 0, &err);
    ASSERT_NE(in, INVALID_SOCKET) << err;
    long socks = 0, ops = 0;
    LibraryCounts(&socks, &ops);
    EXPECT_EQ(socks, 2);
    ASSERT_EQ(send(peer, "ping", 4, 0), 4);
    char buf[8] = {};
    WSABUF b = {4, buf};
    DWORD n = 0, flags = 0;
    ASSERT_EQ(listener.T().lpWSPRecv(in, &b, 1, &n, &flags, nullptr, nullptr, nullptr, &err), 0) << err;
    EXPECT_EQ(std::string(buf, n), "ping");
    char pong[] = "pong";
    b = {4, pong};
    ASSERT_EQ(listener.T().lpWSPSend(in, &b, 1, &n, 0, nullptr, nullptr, nullptr, &err), 0) << err;
    EXPECT_EQ(recv(peer, buf, 4, 0), 4);
    EXPECT_EQ(std::string(buf, 4), "pong");
    EXPECT_EQ(listener.T().lpWSPCloseSocket(in, &err), 0);
    closesocket(peer);
  }
  ExpectNothingLeft(handles);
}

TEST(Lifecycle, TheProgramSeesItsChainAndItsOwnHandle) {
  Client c;
  WSAPROTOCOL_INFOW info = {};
  int len = sizeof info, err = 0;
  ASSERT_EQ(c.T().lpWSPGetSockOpt(c.get(), SOL_SOCKET, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&info), &len,
                                  &err), 0) << err;
  EXPECT_EQ(info.dwCatalogEntryId, Layered().Chain(SOCK_STREAM).dwCatalogEntryId);
  EXPECT_EQ(info.ProtocolChain.ChainLen, 2);
  // Asked for the handle below, the layer names its own, so nothing goes around it.
  for (DWORD code : {SIO_BASE_HANDLE, SIO_BSP_HANDLE, SIO_BSP_HANDLE_SELECT, SIO_BSP_HANDLE_POLL}) {
    SOCKET base = INVALID_SOCKET;
    DWORD ret = 0;
    ASSERT_EQ(c.T().lpWSPIoctl(c.get(), code, nullptr, 0, &base, sizeof base, &ret, nullptr, nullptr, nullptr, &err),
              0) << code;
    EXPECT_EQ(base, c.get()) << code;
  }
  // An unknown handle is no socket.
  EXPECT_NE(c.T().lpWSPCloseSocket(static_cast<SOCKET>(0x7777), &err), 0);
  EXPECT_EQ(err, WSAENOTSOCK);
}

// Threads connect and send while the settings change under them.
TEST(Lifecycle, ManyThreadsWhileTheSettingsChange) {
  UseSettings(ContentSettings());
  const long handles = Host::OpenHandles();
  Server server;
  const std::string harmless = TlsHello("www.example.com"), banned = TlsHello("www.beeg.com");
  std::atomic<bool> stop{false};
  std::atomic<long> failures{0}, done{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; !stop; ++i) {
        const bool bad = (i + t) % 2 == 0;
        const std::string& bytes = bad ? banned : harmless;
        Client c;
        if (c.Connect(server.port()) != 0) {
          ++failures;
          continue;
        }
        const int err = c.Send(bytes);
        int rerr = 0;
        if (err == 0) {
          if (c.Receive(bytes.size(), &rerr) != bytes) ++failures;
        } else if (!bad || err != WSAEACCES) {
          ++failures;
        }
        ++done;
      }
    });
  }
  // Long enough for the library to take up a few of the changes.
  const std::string off = SettingsWith("Enable adult filter:0\r\n");
  for (int i = 0; i < 40; ++i) {
    ChangeSettings(i % 2 ? ContentSettings() : off);
    Sleep(60);
  }
  stop = true;
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, 0);
  EXPECT_GT(done, 0);
  UseSettings(ContentSettings());
  ExpectNothingLeft(handles);
}

struct FilesCase {
  const char* name;
  bool mainPresent, mainSound, backupPresent, backupSound;
  bool blocked;  // the backup, where read, blocks; a sound main does not
};

class SettingsFilesTest : public ::testing::TestWithParam<FilesCase> {};

TEST_P(SettingsFilesTest, TheBackupStandsInForADamagedOrMissingMainFile) {
  const FilesCase& k = GetParam();
  std::string main = Sealed(SettingsWith("Enable adult filter:0\r\n"));
  std::string backup = Sealed(ContentSettings());
  if (!k.mainSound) main[main.size() / 2] ^= 0x20;
  if (!k.backupSound) backup[backup.size() / 2] ^= 0x20;
  UseSettingsFiles(k.mainPresent ? &main : nullptr, k.backupPresent ? &backup : nullptr);
  Server server;
  Client c;
  ASSERT_EQ(c.Connect(server.port()), 0);
  EXPECT_EQ(c.Send(TlsHello("www.beeg.com")), k.blocked ? WSAEACCES : 0);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFilesTest, ::testing::Values(
    FilesCase{"SoundMain", true, true, true, true, false},
    FilesCase{"DamagedMain", true, false, true, true, true},
    FilesCase{"MissingMain", false, false, true, true, true},
    FilesCase{"BothDamaged", true, false, true, false, false},
    FilesCase{"DamagedMainNoBackup", true, false, false, false, false}),
    [](const ::testing::TestParamInfo<FilesCase>& i) { return std::string(i.param.name); });

}  // namespace
