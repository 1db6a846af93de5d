// The road of a record as a host drives it: the model created through its
// entry point, configured through the interface, connected to a loopback
// server that pushes records, and what the host's callbacks receive.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MetadataModelBase/HostRecords.h"
#include "support/hosted_model.h"

namespace {

using namespace vantix_test;
using std::chrono::milliseconds;
typedef std::vector<unsigned long long> Channels;

// Only this channel listens to the sentinel's camera.
const unsigned long long kSentinel = 0x8000000000000001ull;

class DistributionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_host.IsReady() && m_server.IsListening());
    ASSERT_TRUE(m_host.AddCameraChannel(kSentinel, 512));
  }

  // A channel whose configuration is exactly `pairs`.
  void AddChannel(unsigned long long ullChID, std::vector<std::pair<const char*, const char*>> pairs) {
    ASSERT_TRUE(m_host.AddCameraChannel(ullChID, 0));
    std::vector<T_PLUGIN_UI_CONFIG> config(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
      CopyText(config[i].sPluginID, pairs[i].first);
      CopyText(config[i].sValue, pairs[i].second);
    }
    ASSERT_TRUE(m_host.Host().SetChannelConfigList(ullChID, config.data(), config.size()));
  }

  // One write, read whole before anything else is written.
  void Push(const std::string& text) {
    ASSERT_TRUE(m_server.Write(text));
    ASSERT_TRUE(WaitUntilAllRead(m_server.ClientPort(), kDeadlineMS));
  }

  // What the host received for `record`: the sentinel record behind it
  // shows that the record has been fully handled.
  std::vector<RecordedRecord> Deliver(const std::string& record, const RecordRecorder& recorder) {
    const size_t before = recorder.Count();
    Push(record);
    Push("CamID:512 Event:sentinel\r\n");
    EXPECT_TRUE(WaitUntil(
        [&] { return recorder.Count() > before && recorder.Records().back().ullChannelID == kSentinel; },
        kDeadlineMS));
    const std::vector<RecordedRecord> all = recorder.Records();
    return std::vector<RecordedRecord>(all.begin() + before, all.end() - (all.size() > before ? 1 : 0));
  }

  Channels Reached(const std::string& record) {
    Channels channels;
    for (const RecordedRecord& received : Deliver(record, m_host.records)) channels.push_back(received.ullChannelID);
    return channels;
  }

  LoopbackServer m_server;
  HostedModel m_host;
};

TEST_F(DistributionTest, ReachesEveryEnabledChannelWhoseCameraIsTheRecordsCharacterForCharacter) {
  m_host.AddCameraChannel(11, 1);
  m_host.AddCameraChannel(12, 2);
  m_host.AddCameraChannel(13, 2);
  m_host.AddCameraChannel(14, 2);
  m_host.Host().SetChannelEnable(14, false);
  AddChannel(15, {{"ModelVantixCH", "02"}});
  AddChannel(16, {{"ModelVantixCH", "2\r\n"}});  // the spin box reads only the number
  AddChannel(17, {{"Other", "x"}});
  AddChannel(18, {});
  AddChannel(19, {{"ModelVantixCH", "3"}, {"ModelVantixCH", "4"}});  // the last pair counts
  ASSERT_TRUE(m_host.ConnectTo(m_server));

  const struct {
    const char* sRecord;
    Channels reached;
  } kCases[] = {{"CamID:2 Event:face\r\n", {12, 13}},     {"CamID:1 Event:face\r\n", {11}},
                {"CamID:02 Event:face\r\n", {15}},        {"CamID:3 Event:face\r\n", {}},
                {"CamID:4 Event:face\r\n", {19}},         {"CamID:2\r\n", {16}},
                {"Event:old CamID:2 Event:face\r\n", {}}, {"Event:face without a camera\r\n", {17, 18}},
                {"CamID:0 Event:face\r\n", {}}};
  for (const auto& c : kCases) EXPECT_EQ(c.reached, Reached(c.sRecord)) << c.sRecord;

  const std::vector<RecordedRecord> received = Deliver("CamID:2 Event \tperson\r\n", m_host.records);
  ASSERT_EQ(2u, received.size());
  for (const RecordedRecord& record : received) {
    EXPECT_EQ(HostedModel::kDeviceID, record.ullDeviceID);
    EXPECT_EQ("CamID:2\r\nEvent\r\nperson\r\n\r\n", record.strText);
    EXPECT_EQ(26, record.iLength);
  }
}

TEST_F(DistributionTest, RecordsGoToTheCurrentRegistrationAndAreDroppedWithoutCallbackOrUserData) {
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  RecordRecorder other;
  ASSERT_TRUE(m_host.Host().RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &other));
  EXPECT_EQ(1u, Deliver("CamID:512 Event:face\r\n", other).size());
  ASSERT_TRUE(m_host.Host().RegisterMetadataCallbackFunc(nullptr, &m_host.records));
  Push("CamID:512 Event:face\r\n");
  // A null user data would crash the recorder if it were called.
  ASSERT_TRUE(m_host.Host().RegisterMetadataCallbackFunc(&RecordRecorder::Callback, nullptr));
  Push("CamID:512 Event:face\r\n");
  ASSERT_TRUE(m_host.Host().Disconnect(true));  // joins the receiver: both records are handled
  EXPECT_EQ(0u, m_host.records.Count());
  EXPECT_EQ(2u, other.Count());
}

TEST_F(DistributionTest, ServerSettingsTakeEffectAtTheNextConnection) {
  ASSERT_TRUE(m_host.SetServer("", m_server.Port()));
  EXPECT_FALSE(m_host.Host().Connect(true));
  EXPECT_EQ("Unknow error (error code: -1)", m_host.LastError());
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, m_host.Status());
  EXPECT_EQ("Unknow error (error code: -1)", m_host.LastError()) << "a success leaves the text";

  LoopbackServer next;
  ASSERT_TRUE(m_host.SetServer(kLoopbackIP, next.Port()));
  EXPECT_FALSE(next.AcceptClient(200)) << "the running connection is kept";
  ASSERT_TRUE(m_host.Host().Disconnect(true));
  ASSERT_TRUE(m_host.Host().Connect(true));
  ASSERT_TRUE(next.AcceptClient(kDeadlineMS));
  EXPECT_EQ(1, m_server.AcceptedCount());
  ASSERT_TRUE(m_host.Host().Disconnect(true));  // before `next` goes
  ASSERT_TRUE(m_host.events.WaitForCount(4, milliseconds(kDeadlineMS)));
  EXPECT_EQ((std::vector<unsigned int>{3601, 3600, 3601, 3600}), m_host.events.Codes());
  for (const RecordedEvent& event : m_host.events.Events()) EXPECT_EQ(HostedModel::kDeviceID, event.ullDeviceID);
}

}  // namespace
