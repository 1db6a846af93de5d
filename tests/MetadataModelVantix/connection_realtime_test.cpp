// A lost and restored server connection with the product's real timing,
// driven through the host interface only: the loss is reported about six
// seconds after the server went away, the reconnection about ten seconds
// after that, and records flow again.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "support/host_recorder.h"
#include "support/loopback_server.h"

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using vantix_test::EventRecorder;
using vantix_test::LoopbackServer;
using vantix_test::RecordRecorder;

const unsigned long long kDeviceID = 0x123456789ABCDEF0ull;
const unsigned long long kChannelID = 0x0FEDCBA987654321ull;
const int kAcceptDeadlineMS = 10000;

T_PLUGIN_UI_CONFIG ConfigPair(const char* sID, const std::string& strValue) {
  T_PLUGIN_UI_CONFIG pair{};
  strncpy(pair.sPluginID, sID, sizeof(pair.sPluginID) - 1);
  strncpy(pair.sValue, strValue.c_str(), sizeof(pair.sValue) - 1);
  return pair;
}

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Writes one record and waits until the host has it.
void PushAndReceive(LoopbackServer& server, const RecordRecorder& records, int camera) {
  const size_t before = records.Count();
  ASSERT_TRUE(server.Write("CamID:" + std::to_string(camera) + " Event:face\r\n"));
  ASSERT_TRUE(records.WaitForCount(before + 1, 10s));
  const vantix_test::RecordedRecord record = records.Records().back();
  EXPECT_EQ(kDeviceID, record.ullDeviceID);
  EXPECT_EQ(kChannelID, record.ullChannelID);
  EXPECT_EQ("CamID:" + std::to_string(camera) + "\r\nEvent:face\r\n\r\n", record.strText);
}

TEST(ConnectionRealtimeTest, LostServerIsReportedAndReconnectedWithTheRealTiming) {
  EventRecorder events;
  RecordRecorder records;
  LoopbackServer server;
  ASSERT_TRUE(server.IsListening());

  // Released before the recorders and the server, also when a check fails.
  std::unique_ptr<IPluginModel1, bool (*)(IPluginModel1*)> model(CreatePluginModel(), &ReleasePluginModel);
  IPluginModel1* pModel = model.get();
  ASSERT_NE(nullptr, pModel);
  ASSERT_TRUE(pModel->SetDeviceID(kDeviceID));
  const T_PLUGIN_UI_CONFIG vSource[] = {ConfigPair("ModelVantixIP", "127.0.0.1"),
                                        ConfigPair("ModelVantixServerPort", std::to_string(server.Port()))};
  ASSERT_TRUE(pModel->SetSourceConfigList(vSource, 2));
  T_PLUGIN_ID kind{};
  strncpy(kind.sPluginID, "ID_VANTIX_CH", sizeof(kind.sPluginID) - 1);
  ASSERT_TRUE(pModel->AddChannel(kDeviceID, kChannelID, &kind));
  T_PLUGIN_UI_CONFIG camera = ConfigPair("ModelVantixCH", "4");
  ASSERT_TRUE(pModel->SetChannelConfigList(kChannelID, &camera, 1));
  ASSERT_TRUE(pModel->RegisterEventCallbackFunc(&EventRecorder::Callback, &events));
  ASSERT_TRUE(pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &records));
  ASSERT_TRUE(pModel->Initialize());

  ASSERT_TRUE(pModel->Connect(true));
  ASSERT_TRUE(server.AcceptClient(kAcceptDeadlineMS));
  ASSERT_TRUE(events.WaitForCount(1, 5s));
  PushAndReceive(server, records, 4);

  // The last record was the last contact; the server goes away right after.
  server.CloseClient();
  server.StopListening();
  const Clock::time_point goneAt = Clock::now();
  ASSERT_TRUE(events.WaitForCount(2, 15s));
  const Clock::time_point lostAt = Clock::now();
  EXPECT_GE(SecondsBetween(goneAt, lostAt), 5.0);
  EXPECT_LE(SecondsBetween(goneAt, lostAt), 10.0);

  ASSERT_TRUE(server.StartListening());
  ASSERT_TRUE(events.WaitForCount(3, 20s));
  const Clock::time_point restoredAt = Clock::now();
  EXPECT_GE(SecondsBetween(lostAt, restoredAt), 9.0);
  EXPECT_LE(SecondsBetween(lostAt, restoredAt), 13.0);
  EXPECT_EQ((std::vector<unsigned int>{3601, 3600, 3601}), events.Codes());
  for (const vantix_test::RecordedEvent& event : events.Events()) EXPECT_EQ(kDeviceID, event.ullDeviceID);

  ASSERT_TRUE(server.AcceptClient(kAcceptDeadlineMS));
  PushAndReceive(server, records, 4);
  EXPECT_EQ(2u, records.Count());

  EXPECT_TRUE(pModel->Disconnect(true));
  EXPECT_TRUE(pModel->Uninitialize());
  EXPECT_TRUE(ReleasePluginModel(model.release()));
}

}  // namespace
