// The real model against servers that misbehave on purpose, driven through
// the host interface. Each case says what the host sees; every case checks
// that nothing that could be kept is lost, that nothing crashes and that
// every host call returns.

#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelVantix/VantixRecord.h"
#include "support/hosted_model.h"
#include "support/receiver_timing.h"
#include "support/loopback.h"
#include "support/loopback_server.h"
#include "support/stream_capture.h"

namespace {

using vantix_test::CameraRecord;
using vantix_test::FinishWithin;
using vantix_test::HostedModel;
using vantix_test::LoopbackServer;
using vantix_test::RecordedRecord;
using vantix_test::SequenceOf;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const int kDeadlineMS = 5000;
const int kCamera = 7;
const unsigned long long kChannel = 0x1000;
// Long enough for the receiver to take what is on its socket.
const int kQuietMS = 200;

void SleepMS(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

int64_t ElapsedMS(Clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - since).count();
}

// What the host receives for CameraRecord(camera, sequence).
std::string HostText(int camera, int sequence) {
  return "CamID:" + std::to_string(camera) + "\r\nEvent:face\r\nseq=" + std::to_string(sequence) + "\r\n\r\n";
}

int CameraOf(const std::string& strHostText) {
  int camera = -1;
  return sscanf(strHostText.c_str(), "CamID:%d", &camera) == 1 ? camera : -1;
}

// True when `text` is what the host receives for the first n bytes of
// `record`, for an n that holds at least "CamID:7 Event" and at most maxBytes.
bool IsHostTextOfAPrefix(const std::string& text, const std::string& record, size_t maxBytes) {
  const size_t kShortestMatch = std::string("CamID:7 Event").size();
  for (size_t n = kShortestMatch; n <= std::min(record.size(), maxBytes); ++n) {
    if (RewriteRecord(record.substr(0, n)) == text) return true;
  }
  return false;
}

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* pDir = opendir("/proc/self/fd")) {
    while (readdir(pDir) != nullptr) ++count;
    closedir(pDir);
  }
  return count;
}

// Records that reached the host are whole and in the order written; some
// may be missing where the specified filter dropped them.
void ExpectWholeAndInOrder(const std::vector<RecordedRecord>& records) {
  int previous = 0;
  for (const RecordedRecord& record : records) {
    const int sequence = SequenceOf(record.strText);
    EXPECT_EQ(HostText(CameraOf(record.strText), sequence), record.strText);
    EXPECT_GT(sequence, previous);
    previous = sequence;
  }
}

// Writes records to the server's current client from a thread of its own,
// one every `periodMS`, until stopped. The server is the stream's alone
// while it runs.
class RecordStream {
 public:
  RecordStream(LoopbackServer& server, std::vector<int> cameras, int periodMS)
      : m_server(server), m_cameras(std::move(cameras)), m_periodMS(periodMS), m_thread([this] { Run(); }) {}
  ~RecordStream() { Stop(); }

  void Stop() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  int Written() const { return m_written; }

 private:
  void Run() {
    for (int sequence = 1; !m_bStop; ++sequence) {
      const int camera = m_cameras[sequence % m_cameras.size()];
      if (m_server.WriteWithin(CameraRecord(camera, sequence), 50)) ++m_written;
      SleepMS(m_periodMS);
    }
  }

  LoopbackServer& m_server;
  const std::vector<int> m_cameras;
  const int m_periodMS;
  std::atomic<bool> m_bStop{false};
  std::atomic<int> m_written{0};
  std::thread m_thread;
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_server.IsListening());
    ASSERT_TRUE(m_host.IsReady());
    ASSERT_TRUE(m_host.SetServer(vantix_test::kLoopbackIP, m_server.Port()));
    vantix_test::StreamCapture quiet(stdout);
    ASSERT_TRUE(m_host.AddCameraChannel(kChannel, kCamera));
  }

  IPluginModel2& Host() { return m_host.Host(); }

  void ConnectAndAccept() {
    ASSERT_TRUE(Host().Connect(true));
    ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
    ASSERT_TRUE(m_host.events.WaitForCount(1, milliseconds(kDeadlineMS)));
  }

  // Writes one record and waits until the host has received it.
  void Deliver(int sequence) {
    const size_t before = m_host.records.Count();
    ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, sequence)));
    ASSERT_TRUE(m_host.records.WaitForCount(before + 1, milliseconds(kDeadlineMS)));
    EXPECT_EQ(HostText(kCamera, sequence), m_host.records.Records().back().strText);
  }

  // Waits until the receiver has taken everything on its socket, then a
  // little longer for the hand-over.
  void WaitUntilRead() {
    const Clock::time_point start = Clock::now();
    while (vantix_test::UnreadBytes(m_server.ClientPort()) > 0 && ElapsedMS(start) < kDeadlineMS) SleepMS(5);
    SleepMS(kQuietMS);
  }

  std::vector<unsigned int> Codes() { return m_host.events.Codes(); }

  // Declared before the model, so the server outlives the model's threads.
  LoopbackServer m_server;
  HostedModel m_host;
};

const std::vector<unsigned int> kConnected = {3601};
const std::vector<unsigned int> kConnectedLostConnected = {3601, 3600, 3601};

// --- The server's connection ---------------------------------------------------------

// Host sees: Connect(true) false, the text "Failed to connect to target
// Vantix server.", status disconnected and no event while the port refuses;
// the model keeps trying on its own, and once the server listens it connects
// (3601) and the server's first record arrives.
TEST_F(FaultInjectionTest, ServerRefuses) {
  m_server.StopListening();
  EXPECT_FALSE(Host().Connect(true));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, m_host.Status());
  T_PLUGIN_ERROR_MESSAGE message{};
  ASSERT_TRUE(Host().GetLastErrorMessage(&message));
  EXPECT_STREQ("Failed to connect to target Vantix server.", message.sErrorMsg);
  SleepMS(3 * HostedModel::kReconnectIntervalMS);
  EXPECT_TRUE(Codes().empty());

  ASSERT_TRUE(m_server.StartListening());
  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  ASSERT_TRUE(m_host.events.WaitForCount(1, milliseconds(kDeadlineMS)));
  Deliver(1);
  EXPECT_EQ(kConnected, Codes());
}

// Host sees: 3601 (the handshake succeeds) and then nothing. Each time the
// failure window ends the receiver finds the server reachable and takes a
// fresh connection in place of the closed one, so no loss is reported; the
// attempts are paced by the window and leave no descriptor behind. Once the
// server keeps a connection, its records arrive.
TEST_F(FaultInjectionTest, ServerAcceptsAndClosesAtOnce) {
  const int descriptorsBefore = OpenDescriptorCount();
  ASSERT_TRUE(Host().Connect(true));
  const Clock::time_point start = Clock::now();
  while (ElapsedMS(start) < 1500) {
    if (m_server.AcceptClient(50)) m_server.CloseClient();
  }
  const int accepted = m_server.AcceptedCount();
  EXPECT_GE(accepted, 3);
  EXPECT_LE(accepted, 1500 / 300 + 3);
  EXPECT_EQ(kConnected, Codes());
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, m_host.Status());

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  Deliver(1);
  // The server's client, the receiver's one socket and the poll set that the
  // runtime keeps for a socket with a time-out.
  EXPECT_LE(OpenDescriptorCount(), descriptorsBefore + 3);
  EXPECT_EQ(kConnected, Codes());
}

// Host sees: the whole record; then the cut record as far as it came, as a
// short record of its own, because it holds the camera identifier and
// "Event"; then, after a quiet replacement of the connection (no 3600), the
// next record whole. A record cut before "Event" matches no channel and
// reaches nobody.
TEST_F(FaultInjectionTest, ServerClosesMidRecord) {
  ConnectAndAccept();
  Deliver(1);
  ASSERT_TRUE(m_server.Write("CamID:7 Event:face se"));
  ASSERT_TRUE(m_host.records.WaitForCount(2, milliseconds(kDeadlineMS)));
  EXPECT_EQ("CamID:7\r\nEvent:face\r\nse\r\n\r\n", m_host.records.Records()[1].strText);
  m_server.CloseClient();

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  Deliver(3);
  ASSERT_TRUE(m_server.Write("CamID:7 Ev"));
  WaitUntilRead();
  m_server.CloseClient();

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  Deliver(5);
  EXPECT_EQ(4u, m_host.records.Count());
  EXPECT_EQ(kConnected, Codes());
  EXPECT_EQ(3, m_server.AcceptedCount());
}

// A restart quicker than the failure window. Host sees: no event at all;
// the receiver notices the closed connection, finds the server back and
// takes a fresh connection in place of the stale one; the first record the
// restarted server sends arrives.
TEST_F(FaultInjectionTest, ServerRestartsQuicklyWhileIdle) {
  ConnectAndAccept();
  SleepMS(kQuietMS);
  m_server.CloseClient();
  m_server.StopListening();
  SleepMS(100);
  ASSERT_TRUE(m_server.StartListening());

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  Deliver(1);
  EXPECT_EQ(kConnected, Codes());
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, m_host.Status());
}

// A restart that outlasts the failure window. Host sees: 3600 once the
// probe finds the port closed, 3601 when the model's own reconnection finds
// the server back, and the first record the restarted server sends.
TEST_F(FaultInjectionTest, ServerRestartsSlowlyWhileIdle) {
  ConnectAndAccept();
  SleepMS(kQuietMS);
  m_server.CloseClient();
  m_server.StopListening();
  ASSERT_TRUE(m_host.events.WaitForCount(2, milliseconds(kDeadlineMS)));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, m_host.Status());
  ASSERT_TRUE(m_server.StartListening());

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  Deliver(1);
  ASSERT_TRUE(m_host.events.WaitForCount(3, milliseconds(kDeadlineMS)));
  EXPECT_EQ(kConnectedLostConnected, Codes());
}

// Silence limit shortened to 5 time-outs of 50 ms. Host sees nothing at all:
// the receiver rebuilds the silent connection quietly, the status stays
// connected, and what the server writes on the new connection arrives. The
// old connection is closed by the receiver; what a server wrote there after
// the rebuild would go nowhere.
TEST_F(FaultInjectionTest, ServerSilentLongerThanTheSilenceLimit) {
  CVantixReceiver::Timing timing = vantix_test::QuickReceiverTiming();
  timing.uiSilenceLimit = 5;
  m_host.Model().Receiver()->SetTiming(timing);
  const Clock::time_point start = Clock::now();
  ConnectAndAccept();

  ASSERT_TRUE(m_server.AcceptClient(kDeadlineMS));
  EXPECT_GE(ElapsedMS(start), static_cast<int64_t>((timing.uiSilenceLimit + 1) * timing.llRecvTimeoutMS));
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, m_host.Status());
  Deliver(1);
  EXPECT_EQ(kConnected, Codes());
}

// --- What the server writes -----------------------------------------------------------

// One byte per write, each its own segment. Host sees: every receive hands on
// what has arrived so far as a block of its own, so a record reaches the
// model in fragments. Only a fragment that starts the record and holds
// "CamID:7 Event" matches the channel: the host receives at most one cut-short
// prefix per record, usually nothing (one byte per receive), never anything
// else. A record written whole afterwards arrives whole.
TEST_F(FaultInjectionTest, RecordsSplitIntoOneByteWrites) {
  ConnectAndAccept();
  std::vector<std::string> written;
  for (int sequence = 1; sequence <= 3; ++sequence) {
    written.push_back(CameraRecord(kCamera, sequence));
    for (char byte : written.back()) {
      ASSERT_TRUE(m_server.Write(std::string(1, byte)));
      SleepMS(1);
    }
  }
  WaitUntilRead();
  const std::vector<RecordedRecord> records = m_host.records.Records();
  EXPECT_LE(records.size(), written.size());
  for (const RecordedRecord& record : records) {
    bool bPrefix = false;
    for (const std::string& original : written) bPrefix = bPrefix || IsHostTextOfAPrefix(record.strText, original, 1024);
    EXPECT_TRUE(bPrefix) << record.strText;
  }
  Deliver(4);
}

std::string RecordOfLength(size_t length) {
  const std::string head = "CamID:7 Event:face ";
  return head + std::string(length - head.size() - 2, 'x') + "\r\n";
}

// Host sees: the 1024-byte record whole, as one record.
TEST_F(FaultInjectionTest, RecordOfExactlyOneBlock) {
  ConnectAndAccept();
  const std::string record = RecordOfLength(1024);
  ASSERT_TRUE(m_server.Write(record));
  WaitUntilRead();
  const std::vector<RecordedRecord> records = m_host.records.Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("CamID:7\r\nEvent:face\r\n" + std::string(1024 - 21, 'x') + "\r\n\r\n", records[0].strText);
}

// Host sees: one record, the same text as for the whole record: the first
// block ends in the carriage return, which the rewrite drops anyway; the
// second block, the lone line feed, has no camera and reaches nobody.
TEST_F(FaultInjectionTest, RecordOneByteLongerThanABlock) {
  ConnectAndAccept();
  const std::string record = RecordOfLength(1025);
  ASSERT_TRUE(m_server.Write(record));
  WaitUntilRead();
  const std::vector<RecordedRecord> records = m_host.records.Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(RewriteRecord(record), records[0].strText);
  Deliver(2);
}

// Host sees: one record, the 64 KiB record cut to its first block (at most
// 1024 bytes); the other blocks carry no "CamID:" and reach nobody. The
// model reads on and the next record arrives whole.
TEST_F(FaultInjectionTest, RecordOf64KiB) {
  ConnectAndAccept();
  const std::string record = RecordOfLength(64 * 1024);
  ASSERT_TRUE(m_server.Write(record));
  WaitUntilRead();
  const std::vector<RecordedRecord> records = m_host.records.Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_TRUE(IsHostTextOfAPrefix(records[0].strText, record, 1024));
  Deliver(2);
}

// Host sees bytes 0x80 to 0xFF unchanged: they are not white space.
TEST_F(FaultInjectionTest, HighBytesInsideARecord) {
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write("CamID:7 Event:caf\xC3\xA9 \x80\xFF\xFE\xA0 name\r\n"));
  ASSERT_TRUE(m_host.records.WaitForCount(1, milliseconds(kDeadlineMS)));
  EXPECT_EQ("CamID:7\r\nEvent:caf\xC3\xA9\r\n\x80\xFF\xFE\xA0\r\nname\r\n\r\n", m_host.records.Records()[0].strText);
}

// Host sees a record only up to its first NUL: the host interface carries
// NUL-terminated text, and the block filter reads no further either. So a
// NUL that hides a line feed lets a block with two records through, and the
// host receives the first record's head alone.
TEST_F(FaultInjectionTest, NulBytesInsideARecord) {
  ConnectAndAccept();
  ASSERT_TRUE(m_server.Write(std::string("CamID:7 Event:face a\0b seq=2\r\n", 30)));
  ASSERT_TRUE(m_host.records.WaitForCount(1, milliseconds(kDeadlineMS)));
  WaitUntilRead();
  ASSERT_TRUE(m_server.Write(std::string("CamID:7 Event:x\0\r\nCamID:7 Event:y\r\n", 35)));
  WaitUntilRead();
  const std::vector<RecordedRecord> records = m_host.records.Records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ("CamID:7\r\nEvent:face\r\na\r\n\r\n", records[0].strText);
  EXPECT_EQ(static_cast<int>(records[0].strText.size()), records[0].iLength);
  EXPECT_EQ("CamID:7\r\nEvent:x\r\n\r\n", records[1].strText);
  Deliver(3);
}

// 256 KiB of records without a line feed. Host sees: pieces of the flood,
// each at most one block long, for the blocks whose first "Event" follows
// their first "CamID:7" and one separator; nothing but whole or block-cut
// words of the flood. The model keeps reading, and a proper record sent
// afterwards arrives whole.
TEST_F(FaultInjectionTest, FloodWithoutLineFeeds) {
  ConnectAndAccept();
  const std::string unit = "CamID:7 Event:face ";
  std::string flood;
  while (flood.size() < 256 * 1024) flood += unit;
  ASSERT_TRUE(m_server.Write(flood));
  WaitUntilRead();

  const std::vector<RecordedRecord> records = m_host.records.Records();
  EXPECT_GE(records.size(), 1u);
  EXPECT_LE(records.size(), flood.size() / 13);
  for (const RecordedRecord& record : records) {
    EXPECT_LE(record.strText.size(), 2 * 1024u);
    for (size_t start = 0; start < record.strText.size();) {
      const size_t end = record.strText.find("\r\n", start);
      ASSERT_NE(std::string::npos, end);
      const std::string word = record.strText.substr(start, end - start);
      EXPECT_TRUE(std::string("CamID:7").find(word) != std::string::npos ||
                  std::string("Event:face").find(word) != std::string::npos)
          << word;
      start = end + 2;
    }
  }
  Deliver(1);
}

// --- The host ending while records flow -------------------------------------------------

class HostEndsWhileDeliveringTest : public FaultInjectionTest {
 protected:
  void StartStream() {
    ConnectAndAccept();
    m_stream.reset(new RecordStream(m_server, {kCamera}, 1));
    ASSERT_TRUE(m_host.records.WaitForCount(20, milliseconds(kDeadlineMS)));
  }

  // No record reaches the host once the call has returned.
  void ExpectNoMoreRecords() {
    const size_t delivered = m_host.records.Count();
    SleepMS(kQuietMS);
    EXPECT_EQ(delivered, m_host.records.Count());
    m_stream->Stop();
    EXPECT_GT(m_stream->Written(), 20);
    ExpectWholeAndInOrder(m_host.records.Records());
  }

  std::unique_ptr<RecordStream> m_stream;
};

const std::vector<unsigned int> kConnectedThenLost = {3601, 3600};

// Host sees: Disconnect(true) returns within about one receive, with status
// disconnected and 3600; nothing arrives afterwards.
TEST_F(HostEndsWhileDeliveringTest, Disconnect) {
  StartStream();
  FinishWithin("Disconnect(true)", kDeadlineMS, [&] { EXPECT_TRUE(Host().Disconnect(true)); });
  ExpectNoMoreRecords();
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, m_host.Status());
  EXPECT_EQ(kConnectedThenLost, Codes());
}

// Host sees: Uninitialize disconnects first (3600) and returns; nothing
// arrives afterwards and the receiver is gone.
TEST_F(HostEndsWhileDeliveringTest, Uninitialize) {
  StartStream();
  FinishWithin("Uninitialize", kDeadlineMS, [&] { EXPECT_TRUE(Host().Uninitialize()); });
  ExpectNoMoreRecords();
  EXPECT_EQ(nullptr, m_host.Model().Receiver());
  EXPECT_EQ(kConnectedThenLost, Codes());
}

// Host sees: ReleasePluginModel of a model still connected returns after
// disconnecting it (3600); nothing arrives afterwards.
TEST_F(HostEndsWhileDeliveringTest, ReleasePluginModel) {
  StartStream();
  FinishWithin("ReleasePluginModel", kDeadlineMS, [&] { EXPECT_TRUE(m_host.Release()); });
  ExpectNoMoreRecords();
  EXPECT_EQ(kConnectedThenLost, Codes());
}

// --- Channels and host callbacks ---------------------------------------------------------

// 1024 channels for cameras 0 to 7 while records for those cameras flow and
// the host moves channels between cameras and switches them off and on.
// Host sees: every record on a channel that listened to the record's camera
// at some moment during the run, never on another; once the host stops
// reconfiguring, each record reaches exactly the enabled channels of its
// camera, once each.
TEST_F(FaultInjectionTest, ThousandChannelsReconfiguredWhileRecordsFlow) {
  const int kChannels = 1024;
  const int kCameras = 8;
  std::map<unsigned long long, std::set<int>> camerasOfChannel;
  camerasOfChannel[kChannel].insert(kCamera);
  {
    vantix_test::StreamCapture quiet(stdout);
    for (int i = 1; i < kChannels; ++i) {
      ASSERT_TRUE(m_host.AddCameraChannel(kChannel + i, i % kCameras));
      camerasOfChannel[kChannel + i].insert(i % kCameras);
    }
  }
  unsigned int count = 0;
  ASSERT_TRUE(Host().GetChannelCount(HostedModel::kDeviceID, &count));
  ASSERT_EQ(static_cast<unsigned int>(kChannels), count);
  ConnectAndAccept();

  std::vector<int> cameras;
  for (int camera = 0; camera < kCameras; ++camera) cameras.push_back(camera);
  RecordStream stream(m_server, cameras, 5);
  const Clock::time_point start = Clock::now();
  for (int round = 0; ElapsedMS(start) < 1500; ++round) {
    const unsigned long long ullChannel = kChannel + (round * 37) % kChannels;
    const int camera = (round * 5) % kCameras;
    camerasOfChannel[ullChannel].insert(camera);
    ASSERT_TRUE(m_host.SetCamera(ullChannel, camera));
    ASSERT_TRUE(Host().SetChannelEnable(kChannel + (round * 11) % kChannels, round % 2 == 0));
  }
  stream.Stop();
  WaitUntilRead();
  const std::vector<RecordedRecord> during = m_host.records.Records();
  EXPECT_GT(during.size(), 0u);
  for (const RecordedRecord& record : during) {
    EXPECT_EQ(HostedModel::kDeviceID, record.ullDeviceID);
    EXPECT_EQ(1u, camerasOfChannel[record.ullChannelID].count(CameraOf(record.strText)))
        << "channel " << record.ullChannelID << " got " << record.strText;
  }

  std::set<unsigned long long> listening;
  for (int i = 0; i < kChannels; ++i) {
    ASSERT_TRUE(m_host.SetCamera(kChannel + i, i % kCameras));
    ASSERT_TRUE(Host().SetChannelEnable(kChannel + i, i % 3 != 0));
    if (i % kCameras == 3 && i % 3 != 0) listening.insert(kChannel + i);
  }
  ASSERT_TRUE(m_server.Write(CameraRecord(3, 100000)));
  ASSERT_TRUE(m_host.records.WaitForCount(during.size() + listening.size(), milliseconds(kDeadlineMS)));
  SleepMS(kQuietMS);
  const std::vector<RecordedRecord> after = m_host.records.Records();
  ASSERT_EQ(during.size() + listening.size(), after.size());
  std::set<unsigned long long> reached;
  for (size_t i = during.size(); i < after.size(); ++i) {
    EXPECT_EQ(HostText(3, 100000), after[i].strText);
    EXPECT_TRUE(reached.insert(after[i].ullChannelID).second);
  }
  EXPECT_EQ(listening, reached);
}

// A host callback that takes 100 ms.
struct SlowHost {
  static void Callback(unsigned long long ullDeviceID, unsigned long long ullChannelID, const char* sMetadata,
                       int iMetadataLen, void* pData) {
    SlowHost* pHost = static_cast<SlowHost*>(pData);
    pHost->bInside = true;
    SleepMS(100);
    pHost->bInside = false;
    vantix_test::RecordRecorder::Callback(ullDeviceID, ullChannelID, sMetadata, iMetadataLen, &pHost->records);
  }
  std::atomic<bool> bInside{false};
  vantix_test::RecordRecorder records;
};

// Host sees: records that come slower than its callback arrive, every one;
// records that pile up on the socket while it sleeps are read together as
// one block and dropped with it, so a faster burst reaches it thinned out:
// the first of the burst whole, later ones whole or not at all. No lock is
// held across the callback, so the host's own calls answer at once
// meanwhile, and Disconnect(true) returns once the callback is done.
TEST_F(FaultInjectionTest, SlowHostCallback) {
  SlowHost slow;
  ASSERT_TRUE(Host().RegisterMetadataCallbackFunc(&SlowHost::Callback, &slow));
  ConnectAndAccept();
  for (int sequence = 1; sequence <= 3; ++sequence) {
    ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, sequence)));
    SleepMS(200);
  }
  ASSERT_TRUE(slow.records.WaitForCount(3, milliseconds(kDeadlineMS)));
  for (int sequence = 4; sequence <= 8; ++sequence) {
    ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, sequence)));
    SleepMS(10);
  }
  WaitUntilRead();
  std::vector<RecordedRecord> records = slow.records.Records();
  ASSERT_GE(records.size(), 4u);
  EXPECT_LE(records.size(), 8u);
  for (int sequence = 1; sequence <= 4; ++sequence) EXPECT_EQ(sequence, SequenceOf(records[sequence - 1].strText));
  ExpectWholeAndInOrder(records);

  ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, 9)));
  ASSERT_TRUE(vantix_test::WaitUntil([&] { return slow.bInside.load(); }, milliseconds(kDeadlineMS)));
  const Clock::time_point start = Clock::now();
  E_METADATA_STATUS eStatus = eMETADATA_STATUS_DISCONNECT;
  unsigned int count = 0;
  EXPECT_TRUE(Host().GetStatus(&eStatus));
  EXPECT_TRUE(Host().GetChannelCount(HostedModel::kDeviceID, &count));
  EXPECT_TRUE(Host().SetChannelEnable(kChannel, true));
  EXPECT_LT(ElapsedMS(start), 50);
  EXPECT_TRUE(slow.bInside.load());
  FinishWithin("Disconnect(true)", kDeadlineMS, [&] { EXPECT_TRUE(Host().Disconnect(true)); });
  EXPECT_EQ(records.size() + 1, slow.records.Count());
}

// A host callback that calls the model's non-blocking operations.
struct ReentrantHost {
  static void Callback(unsigned long long ullDeviceID, unsigned long long ullChannelID, const char* sMetadata,
                       int iMetadataLen, void* pData) {
    ReentrantHost* pHost = static_cast<ReentrantHost*>(pData);
    E_METADATA_STATUS eStatus = eMETADATA_STATUS_DISCONNECT;
    unsigned int count = 0;
    const bool bAnswered = pHost->pModel->GetStatus(&eStatus) &&
                           pHost->pModel->GetChannelCount(HostedModel::kDeviceID, &count) &&
                           pHost->pModel->SetChannelEnable(pHost->ullSecondChannel, false);
    {
      std::lock_guard<std::mutex> lock(pHost->mutex);
      pHost->answers.push_back(bAnswered && eStatus == eMETADATA_STATUS_CONNECTED && count == 2);
    }
    vantix_test::RecordRecorder::Callback(ullDeviceID, ullChannelID, sMetadata, iMetadataLen, &pHost->records);
  }
  IPluginModel2* pModel = nullptr;
  unsigned long long ullSecondChannel = 0;
  std::mutex mutex;
  std::vector<bool> answers;
  vantix_test::RecordRecorder records;
};

// Two channels for the same camera; the callback disables the second one.
// Host sees: every call from inside the callback answers at once and
// correctly; the first record still reaches both channels, because the
// channels of a record are chosen before the first callback; the second
// record reaches the first channel only.
TEST_F(FaultInjectionTest, HostCallbackCallsBackIntoTheModel) {
  const unsigned long long kSecondChannel = kChannel + 1;
  {
    vantix_test::StreamCapture quiet(stdout);
    ASSERT_TRUE(m_host.AddCameraChannel(kSecondChannel, kCamera));
  }
  ReentrantHost reentrant;
  reentrant.pModel = &Host();
  reentrant.ullSecondChannel = kSecondChannel;
  ASSERT_TRUE(Host().RegisterMetadataCallbackFunc(&ReentrantHost::Callback, &reentrant));
  ConnectAndAccept();

  ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, 1)));
  ASSERT_TRUE(reentrant.records.WaitForCount(2, milliseconds(kDeadlineMS)));
  WaitUntilRead();
  ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, 2)));
  ASSERT_TRUE(reentrant.records.WaitForCount(3, milliseconds(kDeadlineMS)));
  WaitUntilRead();

  const std::vector<RecordedRecord> records = reentrant.records.Records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(kChannel, records[0].ullChannelID);
  EXPECT_EQ(kSecondChannel, records[1].ullChannelID);
  EXPECT_EQ(HostText(kCamera, 1), records[1].strText);
  EXPECT_EQ(kChannel, records[2].ullChannelID);
  EXPECT_EQ(HostText(kCamera, 2), records[2].strText);
  std::lock_guard<std::mutex> lock(reentrant.mutex);
  EXPECT_EQ(std::vector<bool>(3, true), reentrant.answers);
}

}  // namespace
