// The channel tree below the device, and the configuration lists of the
// source and of each channel, as the host builds, reads and changes them.

#include <gtest/gtest.h>

#include <algorithm>

#include "support/scripted_model.h"
#include "support/stream_capture.h"

using namespace vantix_test;
typedef std::vector<unsigned long long> IDs;
typedef std::vector<std::pair<std::string, std::string>> Pairs;

namespace {

const unsigned long long kDevice = 0x1A;
const unsigned long long kChannel = 0x2B;
const unsigned long long kSource = ~0ull;  // the source, where a channel is expected
const Pairs kDefaults = {{"Camera", "0"}, {"Label", "cam"}};

// Source items "Address" and "Port"; the kind TEST_CH (at most 3 channels)
// with the templates "Camera" (0 to 512) and "Label" (up to 16 bytes).
class ChannelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CPropServerHost* pAddress = NewItem<CPropServerHost>("Address");
    pAddress->SetText("127.0.0.1");
    CPropertyLineEdit* pLabel = NewItem<CPropertyLineEdit>("Label");
    pLabel->SetMaxLength(16);
    pLabel->SetText("cam");
    model.m_vSourceProperty = {pAddress, NewRange<CPropServerPort>("Port", 1, 65535, 7000)};
    model.m_mapChProperty["TEST_CH"] = {NewRange<CPropertySpinBox>("Camera", 0, 512, 0), pLabel};
    model.m_vParentChildMapList.push_back(T_PARENT_CHILD_MAP_ITEM{"TEST_CH", "", "", 3, 0, {}});
    ASSERT_TRUE(model.SetDeviceID(kDevice));
  }

  bool Add(unsigned long long ullParent, unsigned long long ullID, const std::string& strKind = "TEST_CH") {
    const T_PLUGIN_ID kind = PluginID(strKind);
    return model.AddChannel(ullParent, ullID, &kind);
  }
  std::string KindOf(unsigned long long ullID) {
    T_PLUGIN_ID kind = PluginID("untouched");
    return model.GetChannelPluginID(ullID, &kind) ? kind.sPluginID : "<" + std::string(kind.sPluginID) + ">";
  }
  // The identifiers under a parent, each found again at its position.
  IDs IDsUnder(unsigned long long ullParent) {
    unsigned int uiCount = 0xDEAD;
    EXPECT_TRUE(model.GetChannelCount(ullParent, &uiCount));
    IDs vIDs(uiCount);
    for (unsigned int i = 0, uiIndex = 0xDEAD; i < uiCount; ++i) {
      EXPECT_TRUE(model.GetChannelID(ullParent, i, &vIDs[i]) &&
                  model.GetChannelIndex(ullParent, vIDs[i], &uiIndex) && uiIndex == i);
    }
    return vIDs;
  }
  // A list read the host's way: its size, then as many records.
  Pairs List(unsigned long long ullID) {
    const bool bSource = ullID == kSource;
    unsigned int uiSize = 0;
    EXPECT_TRUE(bSource ? model.GetSourceConfigListSize(&uiSize)
                        : model.GetChannelConfigListSize(ullID, &uiSize));
    std::vector<T_PLUGIN_UI_CONFIG> records(uiSize);
    EXPECT_TRUE(bSource ? model.GetSourceConfigList(records.data(), uiSize)
                        : model.GetChannelConfigList(ullID, records.data(), uiSize));
    Pairs pairs;
    for (const T_PLUGIN_UI_CONFIG& record : records) pairs.emplace_back(record.sPluginID, record.sValue);
    return pairs;
  }
  // Writes the first `count` pairs (all by default) of a longer array.
  bool Set(unsigned long long ullID, const Pairs& pairs, size_t count = ~size_t(0)) {
    std::vector<T_PLUGIN_UI_CONFIG> records(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
      CopyText(records[i].sPluginID, pairs[i].first);
      CopyText(records[i].sValue, pairs[i].second);
    }
    const unsigned int uiSize = static_cast<unsigned int>(std::min(count, pairs.size()));
    return ullID == kSource ? model.SetSourceConfigList(records.data(), uiSize)
                            : model.SetChannelConfigList(ullID, records.data(), uiSize);
  }

  ScriptedModel model;
};

TEST_F(ChannelsTest, PositionsFollowTheOrderAddedThroughDeletesAndRenumbering) {
  unsigned int uiCount = 99;
  unsigned long long ullID = 0;
  EXPECT_TRUE(!model.GetChannelCount(0x77, &uiCount) && uiCount == 0) << "an unknown parent";
  ASSERT_TRUE(Add(kDevice, 0x100) && Add(kDevice, 0x200) && Add(kDevice, 0x300));
  EXPECT_TRUE(model.DeleteChannel(kDevice, 0x200));
  EXPECT_FALSE(model.DeleteChannel(kDevice, 0x200) || model.DeleteChannel(0x77, 0x100));
  EXPECT_EQ((IDs{0x100, 0x300}), IDsUnder(kDevice));
  EXPECT_FALSE(model.GetChannelIndex(kDevice, 0x200, &uiCount) ||
               model.GetChannelIndex(0x77, 0x100, &uiCount) || model.GetChannelID(kDevice, 2, &ullID) ||
               model.GetChannelID(0x77, 0, &ullID));
  EXPECT_FALSE(model.SetChannelID(kDevice, 2, 0x350) || model.SetChannelID(0x77, 0, 0x350));
  EXPECT_TRUE(model.SetChannelID(kDevice, 1, 0x350));
  EXPECT_EQ((IDs{0x100, 0x350}), IDsUnder(kDevice));
}

TEST_F(ChannelsTest, AddPrintsEachNewChannelAndLeavesAnExistingOneAlone) {
  StreamCapture out(stdout);
  EXPECT_TRUE(Add(kDevice, 0x2B) && Add(kDevice, 0xABCDEF0123456789ull, "OTHER") &&
              Add(kDevice, 0x2B, "OTHER") && !Add(0x77, 0x1));
  EXPECT_EQ(
      "[MDS Channel]:[1A] CID: [2B] Size:[1]\n[MDS Channel]:[1A] CID: [ABCDEF0123456789] Size:[2]\n"
      "[MDS Channel] CID: [2B] already exists\n",
      out.Stop());
}

// Under the device: 0x10 "a" (0x99 "a.child" (0x40 "a.grandchild")), 0x20 "b"
// (0x20 "b.child") and 0x99 "c".
TEST_F(ChannelsTest, TreeSearchIsPreOrderAndParentListsHoldDirectChildrenOnly) {
  ASSERT_TRUE(Add(kDevice, 0x10, "a") && Add(0x10, 0x99, "a.child") && Add(0x99, 0x40, "a.grandchild") &&
              Add(kDevice, 0x20, "b") && Add(0x20, 0x20, "b.child") && Add(kDevice, 0x99, "c"));
  EXPECT_EQ("b", KindOf(0x20)) << "a parent before its children";
  EXPECT_EQ("a.child", KindOf(0x99)) << "a subtree before later siblings";
  const T_PLUGIN_ID renamed = PluginID("renamed");
  bool bEnable = true;
  EXPECT_TRUE(model.SetChannelEnable(0x40, false) && model.SetChannelPluginID(0x40, &renamed));
  EXPECT_TRUE(model.IsChannelEnable(0x40, &bEnable) && !bEnable);
  EXPECT_EQ("renamed", KindOf(0x40));
  EXPECT_FALSE(model.DeleteChannel(kDevice, 0x40));

  EXPECT_TRUE(model.DeleteChannel(kDevice, 0x10));
  EXPECT_EQ("<untouched>", KindOf(0x40)) << "gone with its parent";
  EXPECT_FALSE(model.IsChannelEnable(0x40, &bEnable) || model.SetChannelEnable(0x40, true) ||
               model.SetChannelPluginID(0x40, &renamed));
  // The declared maximum of a kind, 0 for an undeclared one.
  const T_PLUGIN_ID declared = PluginID("TEST_CH");
  EXPECT_TRUE(model.CanAddNewChannel(3, &declared) && model.CanAddNewChannel(0, &renamed));
  EXPECT_FALSE(model.CanAddNewChannel(4, &declared) || model.CanAddNewChannel(1, &renamed));
}

TEST_F(ChannelsTest, SourceValuesAreTakenOneByOneAndARefusedOneChangesNothing) {
  EXPECT_EQ((Pairs{{"Address", "127.0.0.1"}, {"Port", "7000"}}), List(kSource));
  EXPECT_FALSE(Set(kSource, {{"Address", "server.example"}, {"Port", "0"}}));
  EXPECT_EQ((Pairs{{"Address", "server.example"}, {"Port", "7000"}}), List(kSource));
  EXPECT_TRUE(Set(kSource, {{"Unknown", "1"}, {"port", "8000"}}));
  EXPECT_FALSE(Set(kSource, {{"Port", "8000"}, {"Port", "0"}, {"Port", "9000"}}));
  EXPECT_EQ("9000", List(kSource)[1].second) << "the later accepted value wins";
  EXPECT_TRUE(Set(kSource, {{"Port", "8080"}, {"Port", "1234"}}, 1));
  EXPECT_TRUE(model.IsSourceConfigListValid({{"Port", "65535"}, {"Unknown", "x"}}));
  EXPECT_FALSE(model.IsSourceConfigListValid({{"Address", "10.0.0.1"}, {"Port", "0"}}));
  EXPECT_EQ("8080", List(kSource)[1].second) << "only the records counted are read, and a check stores none";
}

TEST_F(ChannelsTest, ChannelListIsStoredAsGivenWithTemplateValuesForRefusedOnes) {
  ASSERT_TRUE(Add(kDevice, kChannel) && Add(kDevice, 0x3C, "NO_TEMPLATES"));
  EXPECT_EQ(kDefaults, List(kChannel)) << "a new channel holds its kind's defaults";
  EXPECT_TRUE(Set(0x3C, {{"Camera", "600"}})) << "nothing to validate against";
  EXPECT_TRUE(Set(kChannel, {{"Unknown", "x"}, {"Label", std::string(16, 'l')}}));
  EXPECT_EQ((Pairs{{"Unknown", "x"}, {"Label", std::string(16, 'l')}}), List(kChannel));
  EXPECT_FALSE(Set(kChannel, {{"Label", std::string(17, 'l')}, {"Camera", "513"}}));
  EXPECT_EQ((Pairs{{"Label", "cam"}, {"Camera", "0"}}), List(kChannel));
  EXPECT_TRUE(Set(kChannel, {{"Camera", "512"}, {"Label", "not read"}}, 1));
  EXPECT_EQ((Pairs{{"Camera", "512"}}), List(kChannel));
  // An unknown channel is neither written nor read.
  T_PLUGIN_UI_CONFIG record = {"untouched", ""};
  unsigned int uiSize = 99;
  EXPECT_TRUE(Set(0x999, {{"Camera", "7"}}) && model.GetChannelConfigListSize(0x999, &uiSize));
  EXPECT_TRUE(!model.GetChannelConfigList(0x999, &record, 1) && uiSize == 99 &&
              std::string("untouched") == record.sPluginID);
  EXPECT_EQ((Pairs{{"Camera", "512"}}), List(kChannel));
}

TEST_F(ChannelsTest, NullHostPointersAreRefusedWhereTheyWouldBeTouched) {
  ASSERT_TRUE(Add(kDevice, kChannel));
  const T_PLUGIN_ID kind = PluginID("TEST_CH");
  T_PROPERTY_UI_INFO* pSource = nullptr;
  T_CAHNNEL_PROPERTY* pKinds = nullptr;
  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  T_SUPPORT_EVENT_ID event;
  unsigned int uiSize = 0;
  EXPECT_FALSE(model.GetChannelCount(kDevice, nullptr) || model.GetChannelIndex(kDevice, kChannel, nullptr) ||
               model.GetChannelID(kDevice, 0, nullptr) || model.GetChannelPluginID(kChannel, nullptr) ||
               model.SetChannelPluginID(kChannel, nullptr) || model.IsChannelEnable(kChannel, nullptr) ||
               model.CanAddNewChannel(0, nullptr) || model.AddChannel(kDevice, 0x3C, nullptr));
  EXPECT_FALSE(model.GetSourceConfigListSize(nullptr) || model.GetSourceConfigList(nullptr, 1) ||
               model.SetSourceConfigList(nullptr, 1) || model.GetChannelConfigListSize(kChannel, nullptr) ||
               model.GetChannelConfigList(kChannel, nullptr, 1) ||
               model.SetChannelConfigList(kChannel, nullptr, 1));
  EXPECT_TRUE(model.GetSourceConfigList(nullptr, 0) && model.SetSourceConfigList(nullptr, 0) &&
              model.GetChannelConfigList(kChannel, nullptr, 0));
  EXPECT_FALSE(model.CreateSourcePropertyList(nullptr, &uiSize) ||
               model.CreateSourcePropertyList(&pSource, nullptr) ||
               model.CreateChannelPropertyList(nullptr, &uiSize) ||
               model.CreateChannelPropertyList(&pKinds, nullptr) ||
               model.CreateFilterProfile(nullptr, &uiSize) || model.CreateFilterProfile(&pProfiles, nullptr));
  EXPECT_FALSE(model.GetSupportEventSize(nullptr, &uiSize) || model.GetSupportEventSize(&kind, nullptr) ||
               model.GetSupportEvent(nullptr, &event, 1) || model.GetSupportEvent(&kind, nullptr, 1));
}

}  // namespace
