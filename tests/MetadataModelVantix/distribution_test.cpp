// The whole road as a host drives it: the model created through its entry
// point, configured through the interface, connected to a loopback server
// that pushes records, and what the host's callbacks receive. Timings are
// shortened through the concrete model's seams.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "support/host_recorder.h"
#include "support/loopback_server.h"
#include "support/receiver_timing.h"

using namespace std::chrono_literals;

namespace {

using vantix_test::EventRecorder;
using vantix_test::LoopbackServer;
using vantix_test::RecordedRecord;
using vantix_test::RecordRecorder;

// Every bit of both identifiers is used, so a narrowing on the way shows.
const unsigned long long kDeviceID = 0xFEDCBA9876543210ull;
const unsigned long long kSentinelChannel = 0x8000000000000001ull;
const char kSentinelCamera[] = "512";
const char kSentinelRecord[] = "CamID:512 Event:sentinel\r\n";
// Generous: the i386 build runs under an emulator.
const int kDeadlineMS = 10000;
const std::chrono::milliseconds kDeadline(kDeadlineMS);

const unsigned int kEventConnectionLost = 3600;
const unsigned int kEventConnectionMade = 3601;

T_PLUGIN_UI_CONFIG ConfigPair(const char* sID, const std::string& strValue) {
  T_PLUGIN_UI_CONFIG pair{};
  strncpy(pair.sPluginID, sID, sizeof(pair.sPluginID) - 1);
  strncpy(pair.sValue, strValue.c_str(), sizeof(pair.sValue) - 1);
  return pair;
}

std::vector<unsigned long long> ChannelsOf(const std::vector<RecordedRecord>& vRecords) {
  std::vector<unsigned long long> vChannels;
  for (const RecordedRecord& record : vRecords) vChannels.push_back(record.ullChannelID);
  return vChannels;
}

class DistributionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_server.IsListening());
    m_pModel = CreatePluginModel();
    ASSERT_NE(nullptr, m_pModel);
    Concrete()->SetWorkerTiming(10, 10000);
    ASSERT_TRUE(m_pModel->SetDeviceID(kDeviceID));
    ASSERT_TRUE(SetServerPort(m_server.Port()));
    AddChannel(kSentinelChannel, kSentinelCamera);
    ASSERT_TRUE(m_pModel->RegisterEventCallbackFunc(&EventRecorder::Callback, &m_events));
    ASSERT_TRUE(m_pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &m_records));
    ASSERT_TRUE(m_pModel->Initialize());
    ASSERT_NE(nullptr, Concrete()->Receiver());
    Concrete()->Receiver()->SetTiming(vantix_test::QuickReceiverTiming());
  }

  void TearDown() override {
    if (m_pModel == nullptr) return;
    EXPECT_TRUE(m_pModel->Uninitialize());
    EXPECT_TRUE(ReleasePluginModel(m_pModel));
  }

  CMetadataModelVantix* Concrete() { return static_cast<CMetadataModelVantix*>(m_pModel); }

  bool SetServerPort(uint16_t port) {
    const T_PLUGIN_UI_CONFIG vSource[] = {ConfigPair("ModelVantixIP", "127.0.0.1"),
                                          ConfigPair("ModelVantixServerPort", std::to_string(port))};
    return m_pModel->SetSourceConfigList(vSource, 2);
  }

  // A new channel of the model's kind, with the camera value "0".
  void AddChannel(unsigned long long ullChID) {
    T_PLUGIN_ID kind{};
    strncpy(kind.sPluginID, "ID_VANTIX_CH", sizeof(kind.sPluginID) - 1);
    ASSERT_TRUE(m_pModel->AddChannel(kDeviceID, ullChID, &kind));
  }

  void AddChannel(unsigned long long ullChID, const std::string& strCamera) {
    AddChannel(ullChID);
    ASSERT_TRUE(SetCamera(ullChID, strCamera));
    ASSERT_EQ("ModelVantixCH=" + strCamera + ";", StoredConfig(ullChID));
  }

  bool SetConfig(unsigned long long ullChID, std::vector<T_PLUGIN_UI_CONFIG> vPairs) {
    return m_pModel->SetChannelConfigList(ullChID, vPairs.data(), static_cast<unsigned int>(vPairs.size()));
  }

  bool SetCamera(unsigned long long ullChID, const std::string& strCamera) {
    T_PLUGIN_UI_CONFIG pair = ConfigPair("ModelVantixCH", strCamera);
    return m_pModel->SetChannelConfigList(ullChID, &pair, 1);
  }

  // The channel's stored configuration as one text, "id=value;" per pair.
  std::string StoredConfig(unsigned long long ullChID) {
    unsigned int uiSize = 0;
    if (!m_pModel->GetChannelConfigListSize(ullChID, &uiSize)) return "<no channel>";
    std::vector<T_PLUGIN_UI_CONFIG> vPairs(uiSize);
    if (uiSize > 0 && !m_pModel->GetChannelConfigList(ullChID, vPairs.data(), uiSize)) return "<unreadable>";
    std::string strConfig;
    for (const T_PLUGIN_UI_CONFIG& pair : vPairs) strConfig += std::string(pair.sPluginID) + "=" + pair.sValue + ";";
    return strConfig;
  }

  void ConnectTo(LoopbackServer& server) {
    ASSERT_TRUE(m_pModel->Connect(true));
    ASSERT_TRUE(server.AcceptClient(kDeadlineMS));
  }

  // One write, taken whole by one receive before anything else is written:
  // two records in one receive would be dropped together.
  void Push(LoopbackServer& server, const std::string& strRecord) {
    ASSERT_TRUE(server.Write(strRecord));
    ASSERT_TRUE(vantix_test::WaitUntilAllRead(server.ClientPort(), kDeadlineMS));
  }

  // What the host received for `strRecord`. The sentinel record behind it
  // reaches only the sentinel channel; once it is in, the record before it
  // has been fully handled.
  std::vector<RecordedRecord> Deliver(const std::string& strRecord, LoopbackServer& server,
                                      const RecordRecorder& recorder) {
    const size_t before = recorder.Count();
    Push(server, strRecord);
    Push(server, kSentinelRecord);
    const bool bSentinelIn = vantix_test::WaitUntil(
        [&] {
          const std::vector<RecordedRecord> vAll = recorder.Records();
          return vAll.size() > before && vAll.back().ullChannelID == kSentinelChannel;
        },
        kDeadline);
    EXPECT_TRUE(bSentinelIn) << "for record: " << strRecord;
    std::vector<RecordedRecord> vAll = recorder.Records();
    if (!bSentinelIn) return std::vector<RecordedRecord>(vAll.begin() + before, vAll.end());
    return std::vector<RecordedRecord>(vAll.begin() + before, vAll.end() - 1);
  }

  std::vector<RecordedRecord> Deliver(const std::string& strRecord) {
    return Deliver(strRecord, m_server, m_records);
  }

  std::vector<unsigned long long> ChannelsReached(const std::string& strRecord) {
    return ChannelsOf(Deliver(strRecord));
  }

  // Declared before the model: they outlive its threads.
  EventRecorder m_events;
  RecordRecorder m_records;
  LoopbackServer m_server;
  IPluginModel1* m_pModel = nullptr;
};

typedef std::vector<unsigned long long> Channels;

// --- Which channels receive a record -------------------------------------------

TEST_F(DistributionTest, ReachesExactlyTheEnabledChannelsWithTheRecordsCamera) {
  AddChannel(11, "1");
  AddChannel(12, "2");
  AddChannel(13, "2");
  AddChannel(14, "2");
  ASSERT_TRUE(m_pModel->SetChannelEnable(14, false));
  ConnectTo(m_server);

  const std::vector<RecordedRecord> vRecords = Deliver("CamID:2 Event:face\r\n");
  ASSERT_EQ((Channels{12, 13}), ChannelsOf(vRecords));
  for (const RecordedRecord& record : vRecords) {
    EXPECT_EQ(kDeviceID, record.ullDeviceID);
    EXPECT_EQ("CamID:2\r\nEvent:face\r\n\r\n", record.strText);
    EXPECT_EQ(23, record.iLength);
  }
  EXPECT_EQ((Channels{11}), ChannelsReached("CamID:1 Event:face\r\n"));
  EXPECT_EQ(Channels{}, ChannelsReached("CamID:3 Event:face\r\n"));

  ASSERT_TRUE(m_pModel->SetChannelEnable(11, false));
  EXPECT_EQ(Channels{}, ChannelsReached("CamID:1 Event:face\r\n"));
  ASSERT_TRUE(m_pModel->SetChannelEnable(14, true));
  EXPECT_EQ((Channels{12, 13, 14}), ChannelsReached("CamID:2 Event:face\r\n"));
}

TEST_F(DistributionTest, CameraIdentifierIsComparedCharacterForCharacter) {
  AddChannel(21, "2");
  AddChannel(22, "02");
  AddChannel(23, " 2");
  ConnectTo(m_server);

  EXPECT_EQ((Channels{22}), ChannelsReached("CamID:02 Event:face\r\n"));
  EXPECT_EQ((Channels{23}), ChannelsReached("CamID: 2 Event:face\r\n"));
  EXPECT_EQ((Channels{21}), ChannelsReached("CamID:2 Event:face\r\n"));
}

TEST_F(DistributionTest, IdentifierWithoutAnEventBehindItRunsToTheEndOfTheRecord) {
  AddChannel(31, "2");
  // The spin box reads only the number, so the line break stays in the value.
  AddChannel(32, "2\r\n");
  ConnectTo(m_server);

  EXPECT_EQ((Channels{32}), ChannelsReached("CamID:2\r\n"));
  EXPECT_EQ(Channels{}, ChannelsReached("Event:face CamID:2 x\r\n"));
  EXPECT_EQ(Channels{}, ChannelsReached("CamID:2 face\r\n"));
  // Both searches start at the record's beginning: the earlier "Event" wins.
  EXPECT_EQ(Channels{}, ChannelsReached("Event:old CamID:2 Event:face\r\n"));
}

TEST_F(DistributionTest, RecordWithoutCameraReachesOnlyChannelsWithoutACameraValue) {
  AddChannel(41, "0");
  AddChannel(42);
  const T_PLUGIN_UI_CONFIG otherOnly = ConfigPair("Other", "x");
  ASSERT_TRUE(SetConfig(42, {otherOnly}));
  EXPECT_EQ("Other=x;", StoredConfig(42));
  AddChannel(43);
  // An empty camera value is refused and replaced by the template's "0".
  EXPECT_FALSE(SetCamera(43, ""));
  EXPECT_EQ("ModelVantixCH=0;", StoredConfig(43));
  AddChannel(44);
  ASSERT_TRUE(SetConfig(44, {}));
  ConnectTo(m_server);

  EXPECT_EQ((Channels{42, 44}), ChannelsReached("Event:face without a camera\r\n"));
  EXPECT_EQ((Channels{41, 43}), ChannelsReached("CamID:0 Event:face\r\n"));
}

// --- The text the host receives ------------------------------------------------

TEST_F(DistributionTest, WhiteSpaceOnlyRecordBecomesOneEmptyLine) {
  AddChannel(51);
  ASSERT_TRUE(SetConfig(51, {}));
  ConnectTo(m_server);

  const std::vector<RecordedRecord> vRecords = Deliver(" \t  \r\n");
  ASSERT_EQ((Channels{51}), ChannelsOf(vRecords));
  EXPECT_EQ("\r\n", vRecords[0].strText);
  EXPECT_EQ(2, vRecords[0].iLength);
}

TEST_F(DistributionTest, ThreeWordsBecomeThreeLinesAndAnEmptyOne) {
  AddChannel(61, "5");
  ConnectTo(m_server);

  const std::vector<RecordedRecord> vRecords = Deliver("CamID:5 Event person\r\n");
  ASSERT_EQ((Channels{61}), ChannelsOf(vRecords));
  EXPECT_EQ("CamID:5\r\nEvent\r\nperson\r\n\r\n", vRecords[0].strText);
  EXPECT_EQ(26, vRecords[0].iLength);
  EXPECT_EQ(kDeviceID, vRecords[0].ullDeviceID);
}

// --- Host callbacks --------------------------------------------------------------

TEST_F(DistributionTest, UserDataOfTheCurrentRegistrationReceivesTheRecords) {
  AddChannel(71, "7");
  ConnectTo(m_server);
  EXPECT_EQ((Channels{71}), ChannelsReached("CamID:7 Event:face\r\n"));

  RecordRecorder other;
  ASSERT_TRUE(m_pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &other));
  const size_t firstCount = m_records.Count();
  const std::vector<RecordedRecord> vRecords = Deliver("CamID:7 Event:face\r\n", m_server, other);
  ASSERT_EQ((Channels{71}), ChannelsOf(vRecords));
  EXPECT_EQ(kDeviceID, vRecords[0].ullDeviceID);
  EXPECT_EQ(firstCount, m_records.Count());
  // The local recorder ends with this test: the receiver stops first.
  ASSERT_TRUE(m_pModel->Disconnect(true));
}

TEST_F(DistributionTest, RecordsAreDroppedWithoutCallbackOrUserData) {
  AddChannel(81, "8");
  ConnectTo(m_server);
  ASSERT_TRUE(m_pModel->RegisterMetadataCallbackFunc(nullptr, &m_records));
  Push(m_server, "CamID:8 Event:face\r\n");
  // A null user data would crash the recorder if it were called.
  ASSERT_TRUE(m_pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, nullptr));
  Push(m_server, "CamID:8 Event:face\r\n");
  // The receiver thread is joined here, so both records have been handled.
  ASSERT_TRUE(m_pModel->Disconnect(true));
  EXPECT_EQ(0u, m_records.Count());

  ASSERT_TRUE(m_pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &m_records));
  ConnectTo(m_server);
  EXPECT_EQ((Channels{81}), ChannelsReached("CamID:8 Event:face\r\n"));
}

// --- Configuration while records flow ---------------------------------------------

TEST_F(DistributionTest, ChannelChangesTakeEffectForTheNextRecord) {
  AddChannel(91, "1");
  ConnectTo(m_server);
  EXPECT_EQ((Channels{91}), ChannelsReached("CamID:1 Event:face\r\n"));

  ASSERT_TRUE(SetCamera(91, "2"));
  EXPECT_EQ(Channels{}, ChannelsReached("CamID:1 Event:face\r\n"));
  EXPECT_EQ((Channels{91}), ChannelsReached("CamID:2 Event:face\r\n"));

  // A new channel starts with camera "0".
  AddChannel(92);
  EXPECT_EQ((Channels{92}), ChannelsReached("CamID:0 Event:face\r\n"));
  ASSERT_TRUE(m_pModel->DeleteChannel(kDeviceID, 92));
  EXPECT_EQ(Channels{}, ChannelsReached("CamID:0 Event:face\r\n"));
}

// --- Connection ---------------------------------------------------------------------

TEST_F(DistributionTest, HostConnectAndDisconnectAreReportedAsEvents) {
  ConnectTo(m_server);
  ASSERT_TRUE(m_events.WaitForCount(1, kDeadline));
  ASSERT_TRUE(m_pModel->Disconnect(true));
  ASSERT_TRUE(m_events.WaitForCount(2, kDeadline));
  ConnectTo(m_server);
  ASSERT_TRUE(m_events.WaitForCount(3, kDeadline));

  EXPECT_EQ((std::vector<unsigned int>{kEventConnectionMade, kEventConnectionLost, kEventConnectionMade}),
            m_events.Codes());
  for (const vantix_test::RecordedEvent& event : m_events.Events()) EXPECT_EQ(kDeviceID, event.ullDeviceID);
  E_METADATA_STATUS eStatus = eMETADATA_STATUS_DISCONNECT;
  ASSERT_TRUE(m_pModel->GetStatus(&eStatus));
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, eStatus);
}

TEST_F(DistributionTest, RefusedConnectionReportsTheConnectionErrorText) {
  const uint16_t unusedPort = vantix_test::UnusedLoopbackPort();
  ASSERT_NE(0, unusedPort);
  ASSERT_TRUE(SetServerPort(unusedPort));

  EXPECT_FALSE(m_pModel->Connect(true));
  T_PLUGIN_ERROR_MESSAGE message{};
  ASSERT_TRUE(m_pModel->GetLastErrorMessage(&message));
  EXPECT_STREQ("Failed to connect to target Vantix server.", message.sErrorMsg);
  E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTED;
  ASSERT_TRUE(m_pModel->GetStatus(&eStatus));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, eStatus);
  EXPECT_TRUE(m_events.Codes().empty());
}

TEST_F(DistributionTest, NewServerAddressIsUsedFromTheNextConnectionOn) {
  AddChannel(101, "1");
  ConnectTo(m_server);
  LoopbackServer next;
  ASSERT_TRUE(next.IsListening());
  ASSERT_TRUE(SetServerPort(next.Port()));

  EXPECT_EQ((Channels{101}), ChannelsReached("CamID:1 Event:face\r\n"));
  EXPECT_FALSE(next.AcceptClient(200)) << "the running connection is kept";

  ASSERT_TRUE(m_pModel->Disconnect(true));
  ConnectTo(next);
  EXPECT_EQ(1, m_server.AcceptedCount());
  EXPECT_EQ((Channels{101}), ChannelsOf(Deliver("CamID:1 Event:face\r\n", next, m_records)));
  // The second server ends with this test: the receiver stops first.
  ASSERT_TRUE(m_pModel->Disconnect(true));
}

}  // namespace
