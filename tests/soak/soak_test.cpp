// About two minutes of records at 200 a second while the server keeps dropping the connection: every
// third drop is an outage (the server stops listening for a second; the model reports 3600 and
// reconnects with 3601), the others a plain close that the receiver mends by itself.
// A record must reach the host when the model's end held no unread byte both when it was written and
// when its successor went out on the same connection: it was read as a block of its own. Others may
// share a block with a neighbour, which the block filter drops; they are only counted.

#include <gtest/gtest.h>

#include <atomic>

#include "support/hosted_model.h"

namespace {

using namespace vantix_test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const int kSoakMS = 120000;
const int kPeriodMS = 5;
// Room for every record of the run, taken before the first measurement.
const size_t kMaxRecords = (kSoakMS + 30000) / kPeriodMS;

// Which sequence numbers arrived whole, in storage taken up front so that the
// bookkeeping does not show in the memory measurement.
struct Sink {
  static void Callback(unsigned long long, unsigned long long, const char* sMetadata, int, void* pData) {
    Sink* pSink = static_cast<Sink*>(pData);
    const int sequence = SequenceOf(sMetadata);
    const bool bWhole = sequence > pSink->last && sequence < static_cast<int>(kMaxRecords) &&
                        sMetadata == HostText(7, sequence);
    if (bWhole) pSink->arrived[sequence] = true;
    pSink->bad += !bWhole;
    pSink->last = sequence;
  }
  std::vector<bool> arrived = std::vector<bool>(kMaxRecords, false);
  std::atomic<int> last{0};
  std::atomic<int> bad{0};
};

TEST(Soak, RecordsSurviveRepeatedDropsWithoutGrowth) {
  const long threadsBefore = ProcessStatus("Threads:");
  Sink sink;
  LoopbackServer server;
  std::unique_ptr<HostedModel> pHost(new HostedModel());
  ASSERT_TRUE(pHost->AddCameraChannel(0x1000, 7) && pHost->SetServer(kLoopbackIP, server.Port()));
  ASSERT_TRUE(pHost->Host().RegisterMetadataCallbackFunc(&Sink::Callback, &sink));
  ASSERT_TRUE(pHost->Host().Connect(true));
  std::vector<int> mustArrive;
  mustArrive.reserve(kMaxRecords);
  long residentAtWarmUp = -1;
  long threadsAtWarmUp = -1;
  int connections = 0, outages = 0, sequence = 1;
  const Clock::time_point start = Clock::now();
  for (bool bLast = false; !bLast; ++connections) {
    ASSERT_TRUE(server.AcceptClient(kDeadlineMS)) << "the model did not come back";
    bLast = Clock::now() - start >= milliseconds(kSoakMS);
    const uint16_t clientPort = server.ClientPort();
    bool bPreviousReadBefore = false;
    const Clock::time_point session = Clock::now();
    for (int tick = 0; Clock::now() - session < milliseconds(2000 + connections % 3 * 1000);
         ++tick, ++sequence) {
      const bool bReadBefore = UnreadBytes(clientPort) == 0;
      if (tick > 0 && bPreviousReadBefore && bReadBefore) mustArrive.push_back(sequence - 1);
      if (!server.Write(CameraRecord(7, sequence))) break;
      bPreviousReadBefore = bReadBefore;
      std::this_thread::sleep_until(session + milliseconds((tick + 1) * kPeriodMS));
    }
    if (residentAtWarmUp < 0 && Clock::now() - start >= milliseconds(10000)) {
      residentAtWarmUp = ProcessStatus("VmRSS:");
      threadsAtWarmUp = ProcessStatus("Threads:");
    }
    if (bLast) break;
    server.CloseClient();
    if (connections % 3 != 2) continue;
    ++outages;
    server.StopListening();
    std::this_thread::sleep_for(milliseconds(1000));
    ASSERT_TRUE(server.StartListening());
  }
  const long residentAtEnd = ProcessStatus("VmRSS:");
  EXPECT_EQ(threadsAtWarmUp, ProcessStatus("Threads:"));
  WaitUntilAllRead(server.ClientPort(), kDeadlineMS);
  std::this_thread::sleep_for(milliseconds(200));
  FinishWithin("ReleasePluginModel", kDeadlineMS, [&] { EXPECT_TRUE(pHost->Release()); });
  const std::vector<unsigned int> codes = pHost->events.Codes();
  EXPECT_TRUE(WaitUntil([&] { return ProcessStatus("Threads:") == threadsBefore; }, kDeadlineMS));

  size_t lost = 0;
  for (int must : mustArrive) lost += !sink.arrived[must];
  printf(
      "soak: %d connections, %d outages; %d records written, %zu read alone (%zu lost); VmRSS %ld -> %ld "
      "KiB\n",
      connections, outages, sequence - 1, mustArrive.size(), lost, residentAtWarmUp, residentAtEnd);
  EXPECT_EQ(0, sink.bad.load()) << "records out of order or changed";
  EXPECT_EQ(0u, lost);
  EXPECT_GT(mustArrive.size(), static_cast<size_t>(sequence - 1) * 8 / 10) << "the model mostly lagged";
  EXPECT_LE(residentAtEnd - residentAtWarmUp, 2048);
  // 3601 for the first connection and after every outage, 3600 for every outage and for the release.
  ASSERT_EQ(static_cast<size_t>(2 * outages + 2), codes.size());
  for (size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(i % 2 == 0 ? 3601u : 3600u, codes[i]) << "event " << i;
}

}  // namespace
