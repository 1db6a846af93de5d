#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "channel_test_model.h"
#include "support/stream_capture.h"

namespace {

using channel_test::ChannelTestModel;
using channel_test::kTestKind;
using channel_test::MakeID;
using channel_test::ReadChannelList;
using channel_test::MakeRecord;

const unsigned long long kDevice = 0x1A;
const unsigned long long kChannel = 0x2B;

// A host array with one record more than the model may touch, filled with a
// byte pattern so any write to the last one shows.
class GuardedArray {
 public:
  explicit GuardedArray(unsigned int uiUsable) : m_records(uiUsable + 1) {
    memset(m_records.data(), 0xAB, m_records.size() * sizeof(T_PLUGIN_UI_CONFIG));
  }
  T_PLUGIN_UI_CONFIG* data() { return m_records.data(); }
  const T_PLUGIN_UI_CONFIG& operator[](size_t i) const { return m_records[i]; }
  bool GuardUntouched() const {
    const unsigned char* pBytes = reinterpret_cast<const unsigned char*>(&m_records.back());
    for (size_t i = 0; i < sizeof(T_PLUGIN_UI_CONFIG); ++i) {
      if (pBytes[i] != 0xAB) return false;
    }
    return true;
  }

 private:
  std::vector<T_PLUGIN_UI_CONFIG> m_records;
};

// A model with one channel kChannel of the given kind under the device.
template <typename Model>
class ConfigFixture : public ::testing::Test {
 protected:
  explicit ConfigFixture(const char* sKind) : m_sKind(sKind) {}
  void SetUp() override {
    model.SetDeviceID(kDevice);
    vantix_test::StreamCapture quiet(stdout);
    const T_PLUGIN_ID kind = MakeID(m_sKind);
    ASSERT_TRUE(model.AddChannel(kDevice, kChannel, &kind));
  }

  std::vector<T_PLUGIN_UI_CONFIG> SourceList() {
    unsigned int size = 0;
    EXPECT_TRUE(model.GetSourceConfigListSize(&size));
    std::vector<T_PLUGIN_UI_CONFIG> records(size);
    EXPECT_TRUE(model.GetSourceConfigList(records.data(), size));
    return records;
  }
  std::string SourceValue(const std::string& id) {
    for (const T_PLUGIN_UI_CONFIG& record : SourceList()) {
      if (id == record.sPluginID) return record.sValue;
    }
    return "<absent>";
  }
  bool SetSource(std::vector<T_PLUGIN_UI_CONFIG> records) {
    return model.SetSourceConfigList(records.data(), static_cast<unsigned int>(records.size()));
  }
  bool SetChannel(unsigned long long id, std::vector<T_PLUGIN_UI_CONFIG> records) {
    return model.SetChannelConfigList(id, records.data(), static_cast<unsigned int>(records.size()));
  }
  std::string CameraValue() {
    for (const T_PLUGIN_UI_CONFIG& record : ReadChannelList(model, kChannel)) {
      if (std::string("ModelVantixCH") == record.sPluginID) return record.sValue;
    }
    return "<absent>";
  }

  Model model;
  const char* m_sKind;
};

// The concrete model, for the edge cases of its declared items.
class VantixConfigurationTest : public ConfigFixture<CMetadataModelVantix> {
 protected:
  VantixConfigurationTest() : ConfigFixture("ID_VANTIX_CH") {}
};

// The test model, for what needs a second template, another kind or a look
// at the stored list itself.
class ConfigurationTest : public ConfigFixture<ChannelTestModel> {
 protected:
  ConfigurationTest() : ConfigFixture(kTestKind) {}
};

// --- Source list ---------------------------------------------------------------------

TEST_F(VantixConfigurationTest, FreshSourceListHoldsTheDeclaredItemsInOrder) {
  const std::vector<T_PLUGIN_UI_CONFIG> records = SourceList();
  ASSERT_EQ(2u, records.size());
  EXPECT_STREQ("ModelVantixIP", records[0].sPluginID);
  EXPECT_STREQ("127.0.0.1", records[0].sValue);
  EXPECT_STREQ("ModelVantixServerPort", records[1].sPluginID);
  EXPECT_STREQ("7000", records[1].sValue);
}

TEST_F(VantixConfigurationTest, RefusedSourceValueKeepsItsItemButOthersAreStored) {
  EXPECT_FALSE(SetSource({MakeRecord("ModelVantixIP", "server.example"), MakeRecord("ModelVantixServerPort", "0")}));
  EXPECT_EQ("server.example", SourceValue("ModelVantixIP"));
  EXPECT_EQ("7000", SourceValue("ModelVantixServerPort"));
}

TEST_F(VantixConfigurationTest, UnknownSourceIdentifiersAreIgnored) {
  EXPECT_TRUE(SetSource({MakeRecord("NoSuchItem", "1"), MakeRecord("modelvantixip", "10.0.0.1")}));
  EXPECT_EQ("127.0.0.1", SourceValue("ModelVantixIP"));
  EXPECT_EQ("7000", SourceValue("ModelVantixServerPort"));
  EXPECT_TRUE(SetSource({}));
}

TEST_F(VantixConfigurationTest, LaterAcceptedValueOfARepeatedIdentifierWins) {
  EXPECT_FALSE(SetSource({MakeRecord("ModelVantixServerPort", "8000"), MakeRecord("ModelVantixServerPort", "0"),
                          MakeRecord("ModelVantixServerPort", "9000")}));
  EXPECT_EQ("9000", SourceValue("ModelVantixServerPort"));
  EXPECT_FALSE(SetSource({MakeRecord("ModelVantixServerPort", "8000"), MakeRecord("ModelVantixServerPort", "65536")}));
  EXPECT_EQ("8000", SourceValue("ModelVantixServerPort"));
}

TEST_F(VantixConfigurationTest, LongSourceValuesRoundTripWithinTheItemsLimit) {
  const std::string long200(200, 'h');
  EXPECT_TRUE(SetSource({MakeRecord("ModelVantixIP", long200)}));
  EXPECT_EQ(long200, SourceValue("ModelVantixIP"));

  const std::string long253(253, 'k');
  EXPECT_TRUE(SetSource({MakeRecord("ModelVantixIP", long253)}));
  EXPECT_EQ(long253, SourceValue("ModelVantixIP"));
  EXPECT_FALSE(SetSource({MakeRecord("ModelVantixIP", long253 + "k")}));
  EXPECT_EQ(long253, SourceValue("ModelVantixIP"));
}

TEST_F(ConfigurationTest, SourceTextBeyondItsLimitIsReportedEmpty) {
  model.SetHostTextDirectly(std::string(254, 'z'));
  EXPECT_EQ("", SourceValue("ModelVantixIP"));
  EXPECT_EQ("7000", SourceValue("ModelVantixServerPort"));
}

TEST_F(VantixConfigurationTest, ShortSourceArrayIsNotWrittenPast) {
  GuardedArray records(1);
  EXPECT_TRUE(model.GetSourceConfigList(records.data(), 1));
  EXPECT_STREQ("ModelVantixIP", records[0].sPluginID);
  EXPECT_STREQ("127.0.0.1", records[0].sValue);
  EXPECT_TRUE(records.GuardUntouched());

  GuardedArray none(0);
  EXPECT_TRUE(model.GetSourceConfigList(none.data(), 0));
  EXPECT_TRUE(none.GuardUntouched());
}

TEST_F(VantixConfigurationTest, SourceValidityAsksTheItemsWithoutStoring) {
  EXPECT_TRUE(model.IsSourceConfigListValid({{"ModelVantixServerPort", "65535"}, {"Unknown", "x"}}));
  EXPECT_FALSE(model.IsSourceConfigListValid({{"ModelVantixIP", "1.2.3.4"}, {"ModelVantixServerPort", "0"}}));
  EXPECT_EQ("127.0.0.1", SourceValue("ModelVantixIP"));
  EXPECT_EQ("7000", SourceValue("ModelVantixServerPort"));
}

// --- Channel lists -----------------------------------------------------------------

TEST_F(VantixConfigurationTest, RefusedChannelValuesAreStoredAsTheTemplatesValue) {
  EXPECT_FALSE(SetChannel(kChannel, {MakeRecord("ModelVantixCH", "600")}));
  EXPECT_EQ("0", CameraValue());
  EXPECT_TRUE(SetChannel(kChannel, {MakeRecord("ModelVantixCH", "7")}));
  EXPECT_EQ("7", CameraValue());
  EXPECT_FALSE(SetChannel(kChannel, {MakeRecord("ModelVantixCH", "513")}));
  EXPECT_EQ("0", CameraValue());
  EXPECT_TRUE(SetChannel(kChannel, {MakeRecord("ModelVantixCH", "512")}));
  EXPECT_EQ("512", CameraValue());
}

TEST_F(ConfigurationTest, EveryRefusedChannelValueIsReplaced) {
  EXPECT_FALSE(SetChannel(kChannel, {MakeRecord("TestLabel", std::string(17, 'l')), MakeRecord("ModelVantixCH", "-1")}));
  const std::vector<T_PLUGIN_UI_CONFIG> records = ReadChannelList(model, kChannel);
  ASSERT_EQ(2u, records.size());
  EXPECT_STREQ("cam", records[0].sValue);
  EXPECT_STREQ("0", records[1].sValue);
}

TEST_F(VantixConfigurationTest, ChannelListIsStoredAsGivenOrderUnknownAndMissingIdentifiersIncluded) {
  EXPECT_TRUE(SetChannel(kChannel, {MakeRecord("Unknown", "anything"), MakeRecord("ModelVantixCH", "9")}));
  const std::vector<T_PLUGIN_UI_CONFIG> records = ReadChannelList(model, kChannel);
  ASSERT_EQ(2u, records.size());
  EXPECT_STREQ("Unknown", records[0].sPluginID);
  EXPECT_STREQ("anything", records[0].sValue);
  EXPECT_STREQ("ModelVantixCH", records[1].sPluginID);
  EXPECT_STREQ("9", records[1].sValue);

  EXPECT_TRUE(SetChannel(kChannel, {}));
  EXPECT_TRUE(ReadChannelList(model, kChannel).empty());
}

TEST_F(VantixConfigurationTest, UnknownChannelIsNeitherReadNorWritten) {
  EXPECT_TRUE(SetChannel(0x999, {MakeRecord("ModelVantixCH", "7")}));
  unsigned int size = 77;
  EXPECT_TRUE(model.GetChannelConfigListSize(0x999, &size));
  EXPECT_EQ(77u, size);
  GuardedArray records(2);
  EXPECT_FALSE(model.GetChannelConfigList(0x999, records.data(), 2));
  EXPECT_EQ(0xAB, static_cast<unsigned char>(records[0].sPluginID[0]));
  EXPECT_EQ("0", CameraValue());
}

TEST_F(VantixConfigurationTest, ChildChannelsAreNotAddressedByTheLists) {
  vantix_test::StreamCapture quiet(stdout);
  const T_PLUGIN_ID kind = MakeID(m_sKind);
  ASSERT_TRUE(model.AddChannel(kChannel, 0x77, &kind));
  quiet.Stop();
  EXPECT_TRUE(SetChannel(0x77, {MakeRecord("ModelVantixCH", "7")}));
  GuardedArray records(2);
  EXPECT_FALSE(model.GetChannelConfigList(0x77, records.data(), 2));
  EXPECT_EQ("0", CameraValue());
}

TEST_F(ConfigurationTest, KindWithoutTemplatesTakesAnyListAndIsNotAddedToTheTemplates) {
  vantix_test::StreamCapture quiet(stdout);
  const T_PLUGIN_ID kind = MakeID("NO_TEMPLATES");
  ASSERT_TRUE(model.AddChannel(kDevice, 0x3C, &kind));
  quiet.Stop();
  const size_t kinds = model.ChannelKindCount();
  EXPECT_TRUE(SetChannel(0x3C, {MakeRecord("ModelVantixCH", "600")}));
  const std::vector<T_PLUGIN_UI_CONFIG> records = ReadChannelList(model, 0x3C);
  ASSERT_EQ(1u, records.size());
  EXPECT_STREQ("600", records[0].sValue);
  EXPECT_EQ(kinds, model.ChannelKindCount());
}

// Renumbering can give two channels under the device the same identifier.
TEST_F(ConfigurationTest, RepeatedChannelIdentifierReadsTheFirstAndWritesEvery) {
  vantix_test::StreamCapture quiet(stdout);
  const T_PLUGIN_ID kind = MakeID("NO_TEMPLATES");
  ASSERT_TRUE(model.AddChannel(kDevice, 0x3C, &kind));
  quiet.Stop();
  ASSERT_TRUE(model.SetChannelID(kDevice, 1, kChannel));

  // Size and list both describe the first channel, so they agree.
  unsigned int size = 0;
  EXPECT_TRUE(model.GetChannelConfigListSize(kChannel, &size));
  EXPECT_EQ(2u, size);
  EXPECT_EQ(2u, ReadChannelList(model, kChannel).size());

  EXPECT_FALSE(SetChannel(kChannel, {MakeRecord("ModelVantixCH", "600")}));
  ASSERT_EQ(1u, model.StoredConfigOfDeviceChannel(0).size());
  EXPECT_EQ("0", model.StoredConfigOfDeviceChannel(0)[0].strValue);
  ASSERT_EQ(1u, model.StoredConfigOfDeviceChannel(1).size());
  EXPECT_EQ("0", model.StoredConfigOfDeviceChannel(1)[0].strValue);
}

TEST_F(ConfigurationTest, ChannelListIsReadNoFurtherThanEitherSide) {
  GuardedArray shorter(1);
  EXPECT_TRUE(model.GetChannelConfigList(kChannel, shorter.data(), 1));
  EXPECT_STREQ("ModelVantixCH", shorter[0].sPluginID);
  EXPECT_TRUE(shorter.GuardUntouched());

  // A larger array than the list: only the list's two entries are written.
  GuardedArray larger(4);
  EXPECT_TRUE(model.GetChannelConfigList(kChannel, larger.data(), 4));
  EXPECT_STREQ("TestLabel", larger[1].sPluginID);
  EXPECT_EQ(0xAB, static_cast<unsigned char>(larger[2].sPluginID[0]));
  EXPECT_TRUE(larger.GuardUntouched());
}

TEST_F(ConfigurationTest, UnterminatedHostFieldsAreReadNoFurtherThanTheirArrays) {
  std::vector<T_PLUGIN_UI_CONFIG> records = {MakeRecord("", "7"), MakeRecord("Unknown", ""),
                                             MakeRecord("ModelVantixCH", "7")};
  memset(records[0].sPluginID, 'i', sizeof(records[0].sPluginID));
  memset(records[1].sValue, 'v', sizeof(records[1].sValue));
  EXPECT_TRUE(SetChannel(kChannel, records));

  const std::vector<T_METADATA_CONFIG> stored = model.StoredConfigOfDeviceChannel(0);
  ASSERT_EQ(3u, stored.size());
  EXPECT_EQ(std::string(65, 'i'), stored[0].strPropertyID);
  EXPECT_EQ("7", stored[0].strValue);
  EXPECT_EQ(std::string(257, 'v'), stored[1].strValue);

  // Back to the host, both are cut to their field and terminated.
  const std::vector<T_PLUGIN_UI_CONFIG> back = ReadChannelList(model, kChannel);
  ASSERT_EQ(3u, back.size());
  EXPECT_EQ(std::string(64, 'i'), back[0].sPluginID);
  EXPECT_EQ(std::string(256, 'v'), back[1].sValue);

  // A source record whose identifier fills its field names no item.
  EXPECT_TRUE(SetSource({records[0]}));
  EXPECT_EQ("7000", SourceValue("ModelVantixServerPort"));
}

TEST_F(VantixConfigurationTest, NullHostPointersAreRefusedWhereSomethingWouldBeTouched) {
  EXPECT_FALSE(model.GetSourceConfigListSize(nullptr));
  EXPECT_FALSE(model.GetSourceConfigList(nullptr, 1));
  EXPECT_TRUE(model.GetSourceConfigList(nullptr, 0));
  EXPECT_FALSE(model.SetSourceConfigList(nullptr, 1));
  EXPECT_TRUE(model.SetSourceConfigList(nullptr, 0));
  EXPECT_FALSE(model.GetChannelConfigListSize(kChannel, nullptr));
  EXPECT_FALSE(model.GetChannelConfigList(kChannel, nullptr, 1));
  EXPECT_TRUE(model.GetChannelConfigList(kChannel, nullptr, 0));
  EXPECT_FALSE(model.SetChannelConfigList(kChannel, nullptr, 1));
  EXPECT_EQ("0", CameraValue());
  EXPECT_EQ("127.0.0.1", SourceValue("ModelVantixIP"));
}

// --- Concurrency -----------------------------------------------------------------------

// Two writers keep replacing the address with texts of one repeated letter
// each while a reader fetches the source list: every value read must be one
// writer's whole text.
TEST_F(VantixConfigurationTest, SourceListIsNeverSeenHalfWritten) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  std::atomic<bool> writing{true};
  std::atomic<int> torn{0};
  auto write = [&](char letter) {
    const std::vector<T_PLUGIN_UI_CONFIG> records = {MakeRecord("ModelVantixIP", std::string(200, letter)),
                                                     MakeRecord("ModelVantixServerPort", "8000")};
    for (int i = 0; i < 2000 && std::chrono::steady_clock::now() < deadline; ++i) {
      EXPECT_TRUE(SetSource(records));
    }
  };
  auto read = [&] {
    while (writing) {
      T_PLUGIN_UI_CONFIG records[2];
      model.GetSourceConfigList(records, 2);
      const std::string value = records[0].sValue;
      const bool whole = value == "127.0.0.1" || value == std::string(200, 'a') || value == std::string(200, 'b');
      if (!whole) ++torn;
    }
  };
  std::thread reader(read);
  std::thread first(write, 'a');
  std::thread second(write, 'b');
  first.join();
  second.join();
  writing = false;
  reader.join();
  EXPECT_EQ(0, torn.load());
  EXPECT_EQ("8000", SourceValue("ModelVantixServerPort"));
}

}  // namespace
