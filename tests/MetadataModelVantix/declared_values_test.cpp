// What the model declares about itself, read through the host interface right
// after construction.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MetadataModelBase/PluginModelDef.h"
#include "MetadataModelVantix/MetadataModelVantix.h"
#include "support/stream_capture.h"

namespace {

class DeclaredValuesTest : public ::testing::Test {
 protected:
  void SetUp() override { m_pModel = static_cast<IPluginModel2*>(CreatePluginModel()); }
  void TearDown() override { ReleasePluginModel(m_pModel); }

  static T_PLUGIN_ID PluginID(const char* sID) {
    T_PLUGIN_ID id;
    memset(&id, 0, sizeof(id));
    strncpy(id.sPluginID, sID, sizeof(id.sPluginID) - 1);
    return id;
  }

  IPluginModel2* m_pModel = nullptr;
};

// Every byte after the text up to the end of the field is NUL.
template <size_t N>
void ExpectField(const char (&field)[N], const char* sExpected) {
  EXPECT_STREQ(sExpected, field);
  for (size_t i = strlen(sExpected); i < N; ++i) ASSERT_EQ('\0', field[i]) << "byte " << i;
}

TEST_F(DeclaredValuesTest, DeviceInformationIsNulPadded) {
  T_PLUGIN_DEVICE_INFO info;
  memset(&info, 0x5A, sizeof(info));
  ASSERT_TRUE(m_pModel->GetPluginDeviceInfo(&info));
  ExpectField(info.sPluginID, "ID_VANTIX");
  ExpectField(info.sPluginVersion, "2.0.0.5");
  ExpectField(info.sPluginName, "Vantix");
  ExpectField(info.sPluginInfo, "Vantix");
  ExpectField(info.sPluginVendor, "Vantix");
  ExpectField(info.sPluginModel, "Vantix");
  ExpectField(info.sPluginManufacture, "Vantix");
  ExpectField(info.sDeviceName, "Vantix");
  ExpectField(info.sDeviceInfo, "Vantix");
}

TEST_F(DeclaredValuesTest, FreshModelState) {
  E_PLUGIN_CATEGORY eCategory = eMETADATA_CATEGORY_ALL;
  ASSERT_TRUE(m_pModel->GetCategoryType(&eCategory));
  EXPECT_EQ(16u, static_cast<unsigned int>(eCategory));
  unsigned long long ullID = 1;
  ASSERT_TRUE(m_pModel->GetDeviceID(&ullID));
  EXPECT_EQ(0u, ullID);
  bool bEnable = true;
  ASSERT_TRUE(m_pModel->IsDeviceEnable(&bEnable));
  EXPECT_FALSE(bEnable);
  T_PLUGIN_ERROR_MESSAGE error;
  memset(&error, 0x5A, sizeof(error));
  ASSERT_TRUE(m_pModel->GetLastErrorMessage(&error));
  ExpectField(error.sErrorMsg, "");
}

TEST_F(DeclaredValuesTest, DeviceEnableFlagAndIdentifierRoundTrip) {
  EXPECT_TRUE(m_pModel->SetDeviceEnable(true));
  bool bEnable = false;
  EXPECT_TRUE(m_pModel->IsDeviceEnable(&bEnable));
  EXPECT_TRUE(bEnable);
  EXPECT_TRUE(m_pModel->SetDeviceID(0xFFFFFFFFFFFFFFFEull));
  unsigned long long ullID = 0;
  EXPECT_TRUE(m_pModel->GetDeviceID(&ullID));
  EXPECT_EQ(0xFFFFFFFFFFFFFFFEull, ullID);
}

TEST_F(DeclaredValuesTest, ChannelKindAndRelation) {
  unsigned int uiSize = 0;
  ASSERT_TRUE(m_pModel->GetSupportChannelPluginIDSize(&uiSize));
  ASSERT_EQ(1u, uiSize);
  T_PLUGIN_ID kinds[2];
  memset(kinds, 0x5A, sizeof(kinds));
  // Asking for more than exists copies only what exists.
  ASSERT_TRUE(m_pModel->GetSupportChannelPluginID(kinds, 2));
  ExpectField(kinds[0].sPluginID, "ID_VANTIX_CH");
  EXPECT_EQ(0x5A, static_cast<unsigned char>(kinds[1].sPluginID[0]));

  ASSERT_TRUE(m_pModel->GetChannelRelationSize(&uiSize));
  ASSERT_EQ(1u, uiSize);
  T_PLUGIN_PARENT_CHILD_MAP_ITEM relations[2];
  memset(relations, 0x5A, sizeof(relations));
  ASSERT_TRUE(m_pModel->GetChannelRelation(relations, 2));
  ExpectField(relations[0].sPluginID, "ID_VANTIX_CH");
  ExpectField(relations[0].sChannelName, "Vantix");
  ExpectField(relations[0].sChannelInfo, "Vantix");
  EXPECT_EQ(1024u, relations[0].uiMaxNumber);
  EXPECT_EQ(1u, relations[0].uiMinNumber);
  EXPECT_EQ(0x5A, static_cast<unsigned char>(relations[1].sPluginID[0]));
}

TEST_F(DeclaredValuesTest, ChannelKindHasNoChildKinds) {
  const T_PLUGIN_ID channel = PluginID("ID_VANTIX_CH");
  unsigned int uiSize = 99;
  EXPECT_TRUE(m_pModel->GetSupportChildPluginIDSize(&channel, &uiSize));
  EXPECT_EQ(0u, uiSize);
  T_PLUGIN_ID child;
  memset(&child, 0x5A, sizeof(child));
  EXPECT_TRUE(m_pModel->GetSupportChildPluginID(&channel, &child, 0));
  EXPECT_EQ(0x5A, static_cast<unsigned char>(child.sPluginID[0]));

  const T_PLUGIN_ID unknown = PluginID("id_vantix_ch");
  uiSize = 99;
  EXPECT_TRUE(m_pModel->GetSupportChildPluginIDSize(&unknown, &uiSize));
  EXPECT_EQ(0u, uiSize);
  EXPECT_FALSE(m_pModel->GetSupportChildPluginID(&unknown, &child, 0));
}

TEST_F(DeclaredValuesTest, NullHostPointersAreRefused) {
  EXPECT_FALSE(m_pModel->GetPluginDeviceInfo(nullptr));
  EXPECT_FALSE(m_pModel->GetCategoryType(nullptr));
  EXPECT_FALSE(m_pModel->GetSupportChannelPluginIDSize(nullptr));
  EXPECT_FALSE(m_pModel->GetSupportChannelPluginID(nullptr, 1));
  EXPECT_FALSE(m_pModel->GetChannelRelation(nullptr, 1));
  EXPECT_FALSE(m_pModel->GetSupportChildPluginIDSize(nullptr, nullptr));
  EXPECT_FALSE(m_pModel->GetDeviceID(nullptr));
  EXPECT_FALSE(m_pModel->IsDeviceEnable(nullptr));
  EXPECT_FALSE(m_pModel->GetStatus(nullptr));
  EXPECT_FALSE(m_pModel->GetLastErrorMessage(nullptr));
}

TEST_F(DeclaredValuesTest, UnterminatedHostIdentifierIsReadWithinItsField) {
  T_PLUGIN_ID unterminated;
  memset(unterminated.sPluginID, 'A', sizeof(unterminated.sPluginID));
  unsigned int uiSize = 99;
  EXPECT_TRUE(m_pModel->GetSupportChildPluginIDSize(&unterminated, &uiSize));
  EXPECT_EQ(0u, uiSize);
}

// A model whose declared texts straddle the field sizes.
class LongNamesModel : public CMetadataModelVantix {
 public:
  LongNamesModel() {
    m_vChannelInfo.clear();
    for (size_t length : {63u, 64u, 65u, 100u}) {
      T_CHANNEL_INFO info;
      info.strChPluginID = std::string(length, 'k');
      m_vChannelInfo.push_back(info);
    }
    m_vParentChildMapList[0].strInfo = std::string(300, 'i');
    m_vParentChildMapList[0].vChildPluginID = {std::string(64, 'c'), std::string(70, 'd')};
  }
};

TEST(TextCopyRuleTest, TextsAreCutToTheirFieldLessOne) {
  LongNamesModel model;
  T_PLUGIN_ID kinds[4];
  ASSERT_TRUE(model.GetSupportChannelPluginID(kinds, 4));
  EXPECT_EQ(std::string(63, 'k'), kinds[0].sPluginID);
  EXPECT_EQ(std::string(64, 'k'), kinds[1].sPluginID) << "64 bytes fit with their NUL";
  EXPECT_EQ(std::string(64, 'k'), kinds[2].sPluginID) << "65 bytes are cut to 64";
  EXPECT_EQ(std::string(64, 'k'), kinds[3].sPluginID);

  T_PLUGIN_PARENT_CHILD_MAP_ITEM relation;
  ASSERT_TRUE(model.GetChannelRelation(&relation, 1));
  EXPECT_EQ(std::string(256, 'i'), relation.sChannelInfo);

  T_PLUGIN_ID parent;
  memset(&parent, 0, sizeof(parent));
  strcpy(parent.sPluginID, "ID_VANTIX_CH");
  T_PLUGIN_ID children[3];
  memset(children, 0x5A, sizeof(children));
  ASSERT_TRUE(model.GetSupportChildPluginID(&parent, children, 3));
  EXPECT_EQ(std::string(64, 'c'), children[0].sPluginID);
  EXPECT_EQ(std::string(64, 'd'), children[1].sPluginID);
  EXPECT_EQ(0x5A, static_cast<unsigned char>(children[2].sPluginID[0])) << "only existing children are copied";
}

}  // namespace
