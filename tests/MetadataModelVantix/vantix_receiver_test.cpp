// The receiver against a loopback server: the blocks it hands on, its
// connection statuses, and what it does about closed, silent and dead ones.

#include <apr_errno.h>
#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "support/hosted_model.h"

namespace {

using namespace vantix_test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Every block as "<text>|<length>|<terminated>;".
class BlockRecorder : public Recorder<std::string> {
 public:
  static void Callback(const char* sText, int iLength, void* pData) {
    static_cast<BlockRecorder*>(pData)->Add(std::string(sText, iLength) + "|" + std::to_string(iLength) +
                                            "|" + (sText[iLength] == '\0' ? "0;" : "open;"));
  }
  std::string Joined() const {
    std::string text;
    for (const std::string& block : Items()) text += block;
    return text;
  }
};

class ReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override { m_receiver.RegisterMetadataCallbackFunc(&BlockRecorder::Callback, &m_blocks); }

  void ConnectAndAccept() {
    ASSERT_EQ(0, m_receiver.Connect(kLoopbackIP, m_server.Port()));
    ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  }

  void Push(const std::string& text) {
    ASSERT_TRUE(m_server.Write(text));
    ASSERT_TRUE(WaitUntilAllRead(m_server.ClientPort(), kDeadlineMS));
  }

  // The keepalive options of the receiver's end.
  std::string KeepAlive() {
    std::string values;
    for (int option : {SO_KEEPALIVE, TCP_KEEPIDLE, TCP_KEEPINTVL, TCP_KEEPCNT}) {
      const int level = option == SO_KEEPALIVE ? SOL_SOCKET : IPPROTO_TCP;
      int value = -1;
      socklen_t len = sizeof(value);
      getsockopt(FindLocalTcpSocket(m_server.ClientPort()), level, option, &value, &len);
      values += std::to_string(value) + " ";
    }
    return values;
  }

  // Declared before the receiver, so they outlive its thread.
  BlockRecorder m_blocks;
  LoopbackServer m_server;
  std::shared_ptr<SysUtils::Timing> m_pTiming = QuickTiming();
  CVantixReceiver m_receiver{m_pTiming};
};

// Blocks as they arrive, then groups of records 30 ms apart after a quiet spell: a pause of the product's
// length after a receive time-out, or after a block handed on, would let them queue up and be dropped.
TEST_F(ReceiverTest, HandsOnEveryBlockOfAtMostOneLineAtOnceNulTerminatedWithItsLength) {
  m_pTiming->uiPauseMS = 100;
  ConnectAndAccept();
  Push("CamID:7 Event:face\r\n");
  Push(CameraRecord(1, 1) + CameraRecord(2, 2));  // two lines in one receive: dropped
  const std::string full = "CamID:9 Event:" + std::string(1008, 'x') + "\r\n";
  Push(full);
  Push(std::string(1500, 'y') + "\r\n");
  ASSERT_TRUE(m_blocks.WaitForCount(4, milliseconds(kDeadlineMS)));
  EXPECT_EQ("CamID:7 Event:face\r\n|20|0;" + full + "|1024|0;" + std::string(1024, 'y') + "|1024|0;" +
                std::string(476, 'y') + "\r\n|478|0;",
            m_blocks.Joined());
  EXPECT_EQ("1 30 10 3 ", KeepAlive());
  for (int trial = 1; trial <= 20; ++trial) {
    std::this_thread::sleep_for(milliseconds(m_pTiming->llRecvTimeoutMS + 3));  // just after a time-out
    for (int i = 0; i < 3; ++i) {
      if (i > 0) std::this_thread::sleep_for(milliseconds(30));
      ASSERT_TRUE(m_server.Write(CameraRecord(1, i)));
    }
    ASSERT_TRUE(WaitUntil([&] { return m_blocks.Count() == 4u + 3 * trial; }, 1000)) << "trial " << trial;
  }
}

// A failed Connect returns -1 or the runtime's status and starts no thread, so Disconnect returns at
// once. Without user data for the callback nothing is read at all.
TEST_F(ReceiverTest, AFailedConnectStartsNoThreadAndNothingIsReadWithoutUserData) {
  EXPECT_EQ(-1, m_receiver.Connect(kLoopbackIP, 0));
  m_server.StopListening();
  const int status = m_receiver.Connect(kLoopbackIP, m_server.Port());
  EXPECT_TRUE(APR_STATUS_IS_ECONNREFUSED(status) && !m_receiver.ThreadExists()) << status;
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT((Clock::now() - start) / milliseconds(1), 100);

  m_receiver.RegisterMetadataCallbackFunc(&BlockRecorder::Callback, nullptr);
  ASSERT_TRUE(m_server.StartListening());
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write(CameraRecord(1, 1)));
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(26, UnreadBytes(m_server.ClientPort()));
}

// A reset peer, with the server still up, is followed quietly by a fresh connection, read at once: records
// sent within a pause of the product's length would meet and be dropped. Once the server is gone as well,
// the loss is reported once after the failure window, and nothing is tried any more.
TEST_F(ReceiverTest, ReplacesAResetConnectionQuietlyAndReportsALostServerOnce) {
  m_pTiming->uiPauseMS = 100;
  ConnectAndAccept();
  m_server.ResetClient();
  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  for (int i = 0; i < 3; ++i) {
    if (i > 0) std::this_thread::sleep_for(milliseconds(20));
    ASSERT_TRUE(m_server.Write(CameraRecord(8, i)));
  }
  ASSERT_TRUE(m_blocks.WaitForCount(3, milliseconds(kDeadlineMS)));
  const Clock::time_point closed = Clock::now();
  m_server.CloseClient();
  m_server.StopListening();
  ASSERT_TRUE(m_blocks.WaitForCount(4, milliseconds(kDeadlineMS)));
  EXPECT_GE((Clock::now() - closed) / milliseconds(1),
            m_pTiming->llFailureWindowMS - m_pTiming->llRecvTimeoutMS);
  ASSERT_TRUE(m_server.StartListening());
  EXPECT_FALSE(m_server.AcceptClient(4 * m_pTiming->llFailureWindowMS));
  EXPECT_EQ(CameraRecord(8, 0) + "|26|0;" + CameraRecord(8, 1) + "|26|0;" + CameraRecord(8, 2) +
                "|26|0;##CONNECTION_LOST##|19|0;",
            m_blocks.Joined());
}

// A silent connection is rebuilt quietly after the silence limit. A rebuild against a server that never
// answers gives up after the connect time-out, or Disconnect would wait for the system's own limit.
TEST_F(ReceiverTest, RebuildsASilentConnectionAfterTheSilenceLimitWithinTheConnectTimeOut) {
  m_pTiming->uiSilenceLimit = 5;
  m_pTiming->llConnectTimeoutMS = 300;
  const Clock::time_point start = Clock::now();
  ConnectAndAccept();
  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  EXPECT_GE((Clock::now() - start) / milliseconds(1),
            (m_pTiming->uiSilenceLimit + 1) * m_pTiming->llRecvTimeoutMS);
  ASSERT_TRUE(m_server.Write(CameraRecord(10, 10)) && m_blocks.WaitForCount(1, milliseconds(kDeadlineMS)));
  EXPECT_EQ(CameraRecord(10, 10) + "|28|0;", m_blocks.Joined());

  m_server.StopListening();
  ASSERT_TRUE(m_server.StartListeningUnresponsive());
  std::this_thread::sleep_for(milliseconds(500));  // into the next rebuild
  const Clock::time_point disconnecting = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT((Clock::now() - disconnecting) / milliseconds(1), 1500);
}

}  // namespace
