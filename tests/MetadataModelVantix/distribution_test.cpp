// The road of a record as a host drives it, from a loopback server to the host's callbacks, and the
// server settings that the connection uses.

#include <gtest/gtest.h>

#include "support/hosted_model.h"

namespace {

using namespace vantix_test;
using std::chrono::milliseconds;

class DistributionTest : public ::testing::Test {
 protected:
  // A channel whose configuration is exactly `pairs`.
  void AddChannel(unsigned long long ullChID, std::vector<std::pair<const char*, const char*>> pairs) {
    ASSERT_TRUE(m_host.AddCameraChannel(ullChID, 0));
    std::vector<T_PLUGIN_UI_CONFIG> config;
    for (const auto& pair : pairs) config.push_back(Setting(pair.first, pair.second));
    ASSERT_TRUE(m_host.Host().SetChannelConfigList(ullChID, config.data(), config.size()));
  }

  void Push(const std::string& text) {
    ASSERT_TRUE(m_server.Write(text));
    ASSERT_TRUE(WaitUntilAllRead(m_server.ClientPort(), kDeadlineMS));
  }

  LoopbackServer m_server;
  HostedModel m_host;
};

TEST_F(DistributionTest, ReachesEveryEnabledChannelWhoseCameraIsTheRecordsCharacterForCharacter) {
  const std::pair<unsigned long long, int> kCameras[] = {
      {11, 1}, {12, 2}, {13, 2}, {0x8000000000000001ull, 2}};
  for (const auto& channel : kCameras) ASSERT_TRUE(m_host.AddCameraChannel(channel.first, channel.second));
  ASSERT_TRUE(m_host.Host().SetChannelEnable(0x8000000000000001ull, false));
  AddChannel(15, {{"ModelVantixCH", "02"}});
  AddChannel(16, {{"ModelVantixCH", "2\r\n"}});  // the spin box reads only the number
  AddChannel(17, {{"Other", "x"}});
  AddChannel(18, {});
  AddChannel(19, {{"ModelVantixCH", "3"}, {"ModelVantixCH", "4"}});  // the last pair counts
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  // Each record starts with its own tag, ahead of anything the cut looks at.
  const std::pair<const char*, const char*> kCases[] = {
      {"#0 CamID:2 Event:face\r\n", "#0:12 #0:13 "},
      {"#1 CamID:1 Event:face\r\n", "#1:11 "},
      {"#2 CamID:02 Event:face\r\n", "#2:15 "},
      {"#3 CamID:3 Event:face\r\n", ""},
      {"#4 CamID:4 Event:face\r\n", "#4:19 "},
      {"#5 CamID:2\r\n", "#5:16 "},
      {"#6 Event:old CamID:2 Event:face\r\n", ""},
      {"#7 Event:face without a camera\r\n", "#7:17 #7:18 "},
      {"#8 CamID:0 Event:face\r\n", ""},
      {"#9 CamID:2 Event \tperson\r\n", "#9:12 #9:13 "}};
  std::string expected, reached;
  for (const auto& c : kCases) {
    Push(c.first);
    expected += c.second;
  }
  ASSERT_TRUE(m_host.records.WaitForCount(10, milliseconds(kDeadlineMS)));  // read is not yet handed out
  // Dropped without a callback, or without its user data (which would crash the recorder).
  ASSERT_TRUE(m_host.Host().RegisterMetadataCallbackFunc(nullptr, &m_host.records));
  Push("#a CamID:2 Event:face\r\n");
  ASSERT_TRUE(m_host.Host().RegisterMetadataCallbackFunc(&RecordRecorder::Callback, nullptr));
  Push("#b CamID:2 Event:face\r\n");
  ASSERT_TRUE(m_host.Host().Disconnect(true));  // joins the receiver: every record is handled
  for (const RecordedRecord& record : m_host.records.Items()) {
    reached += record.strText.substr(0, 2) + ":" + std::to_string(record.ullChannelID) + " ";
    EXPECT_EQ(HostedModel::kDeviceID, record.ullDeviceID);
  }
  EXPECT_EQ(expected, reached);
  const RecordedRecord last = m_host.records.Items().back();
  EXPECT_EQ("#9\r\nCamID:2\r\nEvent\r\nperson\r\n\r\n", last.strText);
  EXPECT_EQ(30, last.iLength);
}

TEST_F(DistributionTest, ServerSettingsTakeEffectAtTheNextConnection) {
  LoopbackServer next;
  next.StopListening();
  ASSERT_TRUE(m_host.SetServer(kLoopbackIP, next.Port()));
  EXPECT_FALSE(m_host.Host().Connect(true));
  EXPECT_EQ("Failed to connect to target Vantix server.", m_host.LastError());
  ASSERT_TRUE(m_host.SetServer("", m_server.Port()));
  EXPECT_FALSE(m_host.Host().Connect(true));
  EXPECT_EQ("Unknow error (error code: -1)", m_host.LastError());
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  EXPECT_EQ("Unknow error (error code: -1)", m_host.LastError()) << "a success leaves the text";

  ASSERT_TRUE(next.StartListening() && m_host.SetServer(kLoopbackIP, next.Port()));
  EXPECT_FALSE(next.AcceptClient(200)) << "the running connection is kept";
  ASSERT_TRUE(m_host.Host().Disconnect(true) && m_host.Host().Connect(true));
  ASSERT_TRUE(next.AcceptClient(kDeadlineMS));
  ASSERT_TRUE(m_host.Host().Disconnect(true));  // before `next` goes
  ASSERT_TRUE(m_host.events.WaitForCount(4, milliseconds(kDeadlineMS)));
  EXPECT_EQ((std::vector<unsigned int>{3601, 3600, 3601, 3600}), m_host.events.Codes());
  for (const RecordedEvent& event : m_host.events.Events())
    EXPECT_EQ(HostedModel::kDeviceID, event.ullDeviceID);
}

// A server item of another class than declared stops a connection before any attempt, error text unset.
struct WrongItemModel : CMetadataModelVantix {
  explicit WrongItemModel(size_t index) {
    CPropertySpinBox* pItem = new CPropertySpinBox();  // the model deletes it
    pItem->SetPropertyID(m_vSourceProperty[index]->GetPropertyID());
    pItem->SetMaximum(65535);
    delete m_vSourceProperty[index];
    m_vSourceProperty[index] = pItem;
  }
};

TEST(ServerSettings, AServerItemOfAnotherClassStopsTheConnection) {
  LoopbackServer server;
  for (size_t index : {0u, 1u}) {
    WrongItemModel model(index);
    const T_PLUGIN_UI_CONFIG port = Setting("ModelVantixServerPort", std::to_string(server.Port()));
    ASSERT_TRUE(model.Initialize() && model.SetSourceConfigList(&port, 1));
    EXPECT_FALSE(model.Connect(true));
    EXPECT_FALSE(server.AcceptClient(100)) << "item " << index;
    T_PLUGIN_ERROR_MESSAGE message;
    EXPECT_TRUE(model.GetLastErrorMessage(&message) && message.sErrorMsg[0] == '\0') << message.sErrorMsg;
    EXPECT_TRUE(model.Uninitialize());
  }
}

}  // namespace
