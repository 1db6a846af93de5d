#include <apr_errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "MetadataModelVantix/VantixReceiver.h"
#include "support/loopback_server.h"
#include "support/receiver_timing.h"

namespace {

using Clock = std::chrono::steady_clock;
using vantix_test::FindLoopbackClientFd;
using vantix_test::LoopbackServer;
using vantix_test::WaitUntilAllRead;

const int kDeadlineMS = 5000;
const std::string kLossMarker = "##CONNECTION_LOST##";

int64_t ElapsedMS(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

void SleepMS(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Block {
  std::string text;
  int length;
  bool bTerminated;
};

// Records every block the receiver hands on, from the receiver's thread.
class Collector {
 public:
  static void Callback(const char* sText, int iLength, void* pData) {
    static_cast<Collector*>(pData)->Add(sText, iLength);
  }

  bool WaitForCount(size_t count, int timeoutMS) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMS), [&] { return m_blocks.size() >= count; });
  }

  bool WaitForBytes(size_t bytes, int timeoutMS) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMS), [&] { return m_bytes >= bytes; });
  }

  std::vector<Block> Blocks() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks;
  }

 private:
  void Add(const char* sText, int iLength) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.push_back(Block{std::string(sText, iLength), iLength, sText[iLength] == '\0'});
    m_bytes += iLength;
    m_cv.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Block> m_blocks;
  size_t m_bytes = 0;
};

std::string Record(int camera) { return "CamID:" + std::to_string(camera) + " Event:face\r\n"; }

int IntOption(int fd, int level, int name) {
  int value = -1;
  socklen_t len = sizeof(value);
  if (getsockopt(fd, level, name, &value, &len) != 0) return -1;
  return value;
}

void ExpectKeepAlive(uint16_t clientPort) {
  const int fd = FindLoopbackClientFd(clientPort);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(1, IntOption(fd, SOL_SOCKET, SO_KEEPALIVE));
  EXPECT_EQ(30, IntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE));
  EXPECT_EQ(10, IntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL));
  EXPECT_EQ(3, IntOption(fd, IPPROTO_TCP, TCP_KEEPCNT));
}

class ReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_server.IsListening());
    m_receiver.RegisterMetadataCallbackFunc(&Collector::Callback, &m_collector);
    m_receiver.SetTiming(vantix_test::QuickReceiverTiming());
  }

  void ConnectAndAccept() {
    ASSERT_EQ(0, m_receiver.Connect("127.0.0.1", m_server.Port()));
    ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  }

  // Declared before the receiver, so they outlive its thread.
  Collector m_collector;
  LoopbackServer m_server;
  CVantixReceiver m_receiver;
};

// --- Blocks ---------------------------------------------------------------------

TEST_F(ReceiverTest, HandsOnOneCrLfRecordWithItsLengthAndATerminatingNul) {
  ConnectAndAccept();
  const std::string record = "CamID:7 Event:face\r\n";
  ASSERT_EQ(20u, record.size());
  ASSERT_TRUE(m_server.Write(record));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  SleepMS(200);
  const std::vector<Block> blocks = m_collector.Blocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(record, blocks[0].text);
  EXPECT_EQ(20, blocks[0].length);
  EXPECT_TRUE(blocks[0].bTerminated);
}

TEST_F(ReceiverTest, DropsTwoRecordsThatArriveInOneReceiveAndGoesOnReading) {
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write(Record(1) + Record(2)));
  // The pair must be taken on its own, before the next record arrives.
  SleepMS(50);
  ASSERT_TRUE(WaitUntilAllRead(m_server.ClientPort(), kDeadlineMS));
  ASSERT_TRUE(m_server.Write(Record(3)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  SleepMS(200);
  const std::vector<Block> blocks = m_collector.Blocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(Record(3), blocks[0].text);
}

TEST_F(ReceiverTest, HandsOnARecordLongerThanOneBlockInPiecesOfAtMost1024Bytes) {
  ConnectAndAccept();
  const std::string record = "CamID:9 Event:" + std::string(2500, 'x') + "\r\n";
  ASSERT_TRUE(m_server.Write(record));
  ASSERT_TRUE(m_collector.WaitForBytes(record.size(), kDeadlineMS));
  std::string joined;
  const std::vector<Block> blocks = m_collector.Blocks();
  for (const Block& block : blocks) {
    EXPECT_LE(block.length, 1024);
    EXPECT_TRUE(block.bTerminated);
    joined += block.text;
  }
  EXPECT_GE(blocks.size(), 3u);
  EXPECT_EQ(record, joined);
}

// With the product's timing. Records that pile up while the receiver is not
// reading arrive in one block and are dropped with it, so a pause after
// every block handed on loses nearly all of this stream; a busy machine that
// holds the receiver thread back now and then may cost a few.
TEST_F(ReceiverTest, DeliversAStreamOfRecordsWrittenOneMillisecondApart) {
  m_receiver.SetTiming(CVantixReceiver::Timing());
  ConnectAndAccept();
  // The stream starts once the thread is reading.
  ASSERT_TRUE(m_server.Write(Record(0)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  const int kRecords = 300;
  for (int i = 1; i < kRecords; ++i) {
    ASSERT_TRUE(m_server.Write(Record(i)));
    SleepMS(1);
  }
  m_collector.WaitForCount(kRecords, 2000);
  const std::vector<Block> blocks = m_collector.Blocks();
  EXPECT_GE(blocks.size(), kRecords * 8 / 10u);
  int previous = -1;
  for (const Block& block : blocks) {
    int camera = -1;
    ASSERT_EQ(1, sscanf(block.text.c_str(), "CamID:%d", &camera)) << block.text;
    EXPECT_EQ(Record(camera), block.text);
    EXPECT_GT(camera, previous);
    previous = camera;
  }
}

// Each record is written only once the one before it has been handed on, so
// none can pile up: every one arrives, and the next receive follows a
// delivery at once rather than after a pause.
TEST_F(ReceiverTest, ReceivesAgainAtOnceAfterHandingOnABlock) {
  m_receiver.SetTiming(CVantixReceiver::Timing());
  ConnectAndAccept();
  const int kRecords = 200;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_TRUE(m_server.Write(Record(i)));
    ASSERT_TRUE(m_collector.WaitForCount(i + 1, kDeadlineMS));
  }
  // Ten blocks a second would take 20 s.
  EXPECT_LT(ElapsedMS(start), 8000);
  const std::vector<Block> blocks = m_collector.Blocks();
  ASSERT_EQ(static_cast<size_t>(kRecords), blocks.size());
  for (int i = 0; i < kRecords; ++i) EXPECT_EQ(Record(i), blocks[i].text);
}

// --- Connect and Disconnect --------------------------------------------------------

TEST_F(ReceiverTest, RefusesAnEmptyHostOrPortZeroWithoutAThread) {
  EXPECT_EQ(-1, m_receiver.Connect("", m_server.Port()));
  EXPECT_FALSE(m_receiver.ThreadExists());
  EXPECT_EQ(-1, m_receiver.Connect("127.0.0.1", 0));
  EXPECT_FALSE(m_receiver.ThreadExists());
}

TEST_F(ReceiverTest, ReturnsTheRuntimeStatusWhenNobodyListens) {
  const uint16_t port = vantix_test::UnusedLoopbackPort();
  ASSERT_NE(0, port);
  const int status = m_receiver.Connect("127.0.0.1", port);
  EXPECT_TRUE(APR_STATUS_IS_ECONNREFUSED(status)) << "status " << status;
  EXPECT_FALSE(m_receiver.ThreadExists());
}

TEST_F(ReceiverTest, DisconnectWithoutAThreadReturnsAtOnce) {
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT(ElapsedMS(start), 100);
}

TEST_F(ReceiverTest, DisconnectWhileReadingReturnsWithinOneReceiveAndOnePause) {
  m_receiver.SetTiming(CVantixReceiver::Timing());
  ConnectAndAccept();
  SleepMS(300);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT(ElapsedMS(start), 1800);
  EXPECT_FALSE(m_receiver.ThreadExists());
}

TEST_F(ReceiverTest, ConnectsAgainAfterDisconnectOnAFreshConnection) {
  ConnectAndAccept();
  EXPECT_EQ(0, m_receiver.Disconnect());
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write(Record(4)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  EXPECT_EQ(Record(4), m_collector.Blocks()[0].text);
}

TEST_F(ReceiverTest, EnablesKeepAliveOnTheConnection) {
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write(Record(5)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  ExpectKeepAlive(m_server.ClientPort());
}

// --- Lost, dead and silent connections --------------------------------------------

// With the product's timing: the loss comes after the six-second window.
TEST_F(ReceiverTest, ReportsTheLossOnceWhenThePeerClosesAndTheServerIsGone) {
  m_receiver.SetTiming(CVantixReceiver::Timing());
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write(Record(6)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  const Clock::time_point closed = Clock::now();
  m_server.CloseClient();
  m_server.StopListening();

  ASSERT_TRUE(m_collector.WaitForCount(2, 10000));
  const int64_t lossAfterMS = ElapsedMS(closed);
  EXPECT_GE(lossAfterMS, 4900);  // the last contact may precede the close by one receive
  EXPECT_LE(lossAfterMS, 8000);
  const Block loss = m_collector.Blocks()[1];
  EXPECT_EQ(kLossMarker, loss.text);
  EXPECT_EQ(19, loss.length);
  EXPECT_TRUE(loss.bTerminated);

  // Lost: no more reading, no more attempts, even when the server returns.
  ASSERT_TRUE(m_server.StartListening());
  EXPECT_FALSE(m_server.AcceptClient(500));
  EXPECT_EQ(2u, m_collector.Blocks().size());
}

TEST_F(ReceiverTest, ResumesOnAFreshConnectionWhenThePeerClosesButTheServerStaysUp) {
  ConnectAndAccept();
  m_server.CloseClient();
  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  EXPECT_EQ(2, m_server.AcceptedCount());
  ASSERT_TRUE(m_server.Write(Record(8)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  SleepMS(200);
  const std::vector<Block> blocks = m_collector.Blocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(Record(8), blocks[0].text);
  ExpectKeepAlive(m_server.ClientPort());
}

TEST_F(ReceiverTest, RebuildsASilentConnectionQuietlyAfterTheSilenceLimit) {
  CVantixReceiver::Timing timing = vantix_test::QuickReceiverTiming();
  timing.uiSilenceLimit = 5;
  m_receiver.SetTiming(timing);
  const Clock::time_point start = Clock::now();
  ConnectAndAccept();

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  EXPECT_GE(ElapsedMS(start), static_cast<int64_t>((timing.uiSilenceLimit + 1) * timing.llRecvTimeoutMS));
  EXPECT_TRUE(m_collector.Blocks().empty());

  ASSERT_TRUE(m_server.Write(Record(10)));
  ASSERT_TRUE(m_collector.WaitForCount(1, kDeadlineMS));
  EXPECT_EQ(Record(10), m_collector.Blocks()[0].text);
}

// A rebuild against a server that never answers the handshake must give up
// after the connect time-out, or Disconnect would wait for the system's own
// limit of about two minutes.
TEST_F(ReceiverTest, DisconnectDuringARebuildAgainstAnUnresponsiveServerReturnsPromptly) {
  CVantixReceiver::Timing timing = vantix_test::QuickReceiverTiming();
  timing.llConnectTimeoutMS = 300;
  timing.uiSilenceLimit = 0;
  m_receiver.SetTiming(timing);
  ConnectAndAccept();
  m_server.StopListening();
  ASSERT_TRUE(m_server.StartListeningUnresponsive());
  SleepMS(800);  // a rebuild follows every time-out, so one is under way now or soon

  const Clock::time_point start = Clock::now();
  EXPECT_EQ(0, m_receiver.Disconnect());
  EXPECT_LT(ElapsedMS(start), 1500);
}

// --- The receiver in the model ---------------------------------------------------

// Records what the receiver hands to the model through the base's callback.
class RecordingModel : public CMetadataModelVantix {
 public:
  Collector m_collector;

 protected:
  void DistributeMetadata(const char* sMetadata, int iMetadataLen) override {
    Collector::Callback(sMetadata, iMetadataLen, &m_collector);
  }
};

TEST(ModelReceiverTest, InitializeCreatesTheReceiverAndUninitializeDestroysIt) {
  CMetadataModelVantix model;
  EXPECT_EQ(nullptr, model.Receiver());
  ASSERT_TRUE(model.Initialize());
  EXPECT_NE(nullptr, model.Receiver());
  ASSERT_TRUE(model.Uninitialize());
  EXPECT_EQ(nullptr, model.Receiver());
  ASSERT_TRUE(model.Initialize());
  EXPECT_NE(nullptr, model.Receiver());
  ASSERT_TRUE(model.Uninitialize());
  EXPECT_EQ(nullptr, model.Receiver());
}

TEST(ModelReceiverTest, TheReceiverHandsItsBlocksToTheModel) {
  LoopbackServer server;
  RecordingModel model;
  ASSERT_TRUE(model.Initialize());
  CVantixReceiver* pReceiver = model.Receiver();
  ASSERT_NE(nullptr, pReceiver);
  pReceiver->SetTiming(vantix_test::QuickReceiverTiming());
  ASSERT_EQ(0, pReceiver->Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(server.AcceptClient(kDeadlineMS));
  ASSERT_TRUE(server.Write(Record(11)));
  EXPECT_TRUE(model.m_collector.WaitForCount(1, kDeadlineMS));
  pReceiver->Disconnect();
  ASSERT_TRUE(model.Uninitialize());
  const std::vector<Block> blocks = model.m_collector.Blocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(Record(11), blocks[0].text);
}

}  // namespace
