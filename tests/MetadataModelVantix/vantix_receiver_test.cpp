// The receiver against a loopback server: the blocks it hands on, its
// connection statuses, and what it does about closed, silent and dead
// connections.

#include <apr_errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <string>

#include "support/hosted_model.h"

namespace {

using namespace vantix_test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int64_t ElapsedMS(Clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - since).count();
}

// Every block as "<text>|<length>|<terminated>;".
class BlockRecorder : public Recorder<std::string> {
 public:
  static void Callback(const char* sText, int iLength, void* pData) {
    static_cast<BlockRecorder*>(pData)->Add(std::string(sText, iLength) + "|" + std::to_string(iLength) + "|" +
                                            (sText[iLength] == '\0' ? "0;" : "open;"));
  }
  std::string Joined() const {
    std::string text;
    for (const std::string& block : Items()) text += block;
    return text;
  }
};

std::string Record(int camera) { return "CamID:" + std::to_string(camera) + " Event:face\r\n"; }

class ReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override { m_receiver.RegisterMetadataCallbackFunc(&BlockRecorder::Callback, &m_blocks); }

  void ConnectAndAccept() {
    m_receiver.SetTiming(m_timing);
    ASSERT_EQ(0, m_receiver.Connect(kLoopbackIP, m_server.Port()));
    ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  }

  // Writes text and waits until the receiver has read it all.
  void Push(const std::string& text) {
    ASSERT_TRUE(m_server.Write(text));
    ASSERT_TRUE(WaitUntilAllRead(m_server.ClientPort(), kDeadlineMS));
  }

  void ExpectKeepAlive() {
    const int fd = FindLocalTcpSocket(m_server.ClientPort());
    const int kOptions[][3] = {{SOL_SOCKET, SO_KEEPALIVE, 1}, {IPPROTO_TCP, TCP_KEEPIDLE, 30},
                               {IPPROTO_TCP, TCP_KEEPINTVL, 10}, {IPPROTO_TCP, TCP_KEEPCNT, 3}};
    for (const auto& option : kOptions) {
      int value = -1;
      socklen_t len = sizeof(value);
      getsockopt(fd, option[0], option[1], &value, &len);
      EXPECT_EQ(option[2], value) << "option " << option[1];
    }
  }

  // Declared before the receiver, so they outlive its thread.
  BlockRecorder m_blocks;
  LoopbackServer m_server;
  CVantixReceiver::Timing m_timing = QuickReceiverTiming();
  CVantixReceiver m_receiver;
};

TEST_F(ReceiverTest, HandsOnEveryBlockOfAtMostOneLineNulTerminatedWithItsLength) {
  ConnectAndAccept();
  Push("CamID:7 Event:face\r\n");
  Push(Record(1) + Record(2));  // two lines in one receive: dropped
  const std::string full = "CamID:9 Event:" + std::string(1008, 'x') + "\r\n";
  Push(full);
  Push(std::string(1500, 'y') + "\r\n");
  ASSERT_TRUE(m_blocks.WaitForCount(4, milliseconds(kDeadlineMS)));
  EXPECT_EQ("CamID:7 Event:face\r\n|20|0;" + full + "|1024|0;" + std::string(1024, 'y') + "|1024|0;" +
                std::string(476, 'y') + "\r\n|478|0;",
            m_blocks.Joined());
  ExpectKeepAlive();
}

// Each record is written once the one before it has been handed on: with a
// pause after every block they would take half a second each.
TEST_F(ReceiverTest, ReceivesAgainAtOnceAfterHandingOnABlock) {
  m_timing.uiPauseMS = 500;
  ConnectAndAccept();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(m_server.Write(Record(i)));
    ASSERT_TRUE(m_blocks.WaitForCount(i + 1, milliseconds(kDeadlineMS)));
  }
  EXPECT_LT(ElapsedMS(start), 2500);
}

TEST_F(ReceiverTest, ConnectReturnsMinusOneOrTheRuntimeStatusWithoutAThread) {
  EXPECT_EQ(-1, m_receiver.Connect("", m_server.Port()));
  EXPECT_EQ(-1, m_receiver.Connect(kLoopbackIP, 0));
  const int status = m_receiver.Connect(kLoopbackIP, UnusedLoopbackPort());
  EXPECT_TRUE(APR_STATUS_IS_ECONNREFUSED(status)) << status;
  EXPECT_FALSE(m_receiver.ThreadExists());
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT(ElapsedMS(start), 100);
}

TEST_F(ReceiverTest, ReportsTheLossOnceAfterTheWindowWhenTheServerIsGone) {
  ConnectAndAccept();
  const Clock::time_point closed = Clock::now();
  m_server.CloseClient();
  m_server.StopListening();
  ASSERT_TRUE(m_blocks.WaitForCount(1, milliseconds(kDeadlineMS)));
  EXPECT_GE(ElapsedMS(closed), m_timing.llFailureWindowMS - m_timing.llRecvTimeoutMS);
  // Lost: no more reading and no more attempts, even when the server returns.
  ASSERT_TRUE(m_server.StartListening());
  EXPECT_FALSE(m_server.AcceptClient(4 * m_timing.llFailureWindowMS));
  EXPECT_EQ("##CONNECTION_LOST##|19|0;", m_blocks.Joined());
}

TEST_F(ReceiverTest, TakesAFreshConnectionQuietlyWhenThePeerResetsButTheServerIsUp) {
  ConnectAndAccept();
  m_server.ResetClient();
  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  Push(Record(8));
  ASSERT_TRUE(m_blocks.WaitForCount(1, milliseconds(kDeadlineMS)));
  ExpectKeepAlive();
  EXPECT_EQ(Record(8) + "|20|0;", m_blocks.Joined());
}

TEST_F(ReceiverTest, RebuildsASilentConnectionQuietlyAfterTheSilenceLimit) {
  m_timing.uiSilenceLimit = 5;
  const Clock::time_point start = Clock::now();
  ConnectAndAccept();
  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  EXPECT_GE(ElapsedMS(start), (m_timing.uiSilenceLimit + 1) * m_timing.llRecvTimeoutMS);
  Push(Record(10));
  ASSERT_TRUE(m_blocks.WaitForCount(1, milliseconds(kDeadlineMS)));
  EXPECT_EQ(Record(10) + "|21|0;", m_blocks.Joined());
}

// A rebuild against a server that never answers the handshake gives up after
// the connect time-out, or Disconnect would wait for the system's own limit.
TEST_F(ReceiverTest, DisconnectDuringARebuildAgainstAnUnresponsiveServerReturnsPromptly) {
  m_timing.llConnectTimeoutMS = 300;
  m_timing.uiSilenceLimit = 0;
  ConnectAndAccept();
  m_server.StopListening();
  ASSERT_TRUE(m_server.StartListeningUnresponsive());
  std::this_thread::sleep_for(milliseconds(800));  // a rebuild follows every time-out
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT(ElapsedMS(start), 1500);
}

}  // namespace
