#include "MetadataModelVantix/MetadataModelVantix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Opens the model's item containers to the tests.
class ServerSettingsModel : public CMetadataModelVantix {
 public:
  std::vector<CMetadataProperty*>& SourceItems() { return m_vSourceProperty; }
  std::vector<CMetadataProperty*>& ChannelItems(const std::string& strPluginID) {
    return m_mapChProperty[strPluginID];
  }
  size_t ChannelKindCount() const { return m_mapChProperty.size(); }
};

bool SetItemValue(CMetadataProperty* pItem, const std::string& strValue) {
  T_METADATA_CONFIG setting;
  setting.strPropertyID = pItem->GetPropertyID();
  setting.strValue = strValue;
  return pItem->SetPropertySetting(setting);
}

TEST(ServerSettings, DeclaredSourceItems) {
  ServerSettingsModel model;
  std::vector<CMetadataProperty*>& vItems = model.SourceItems();
  ASSERT_EQ(2u, vItems.size());

  CPropServerHost* pHost = dynamic_cast<CPropServerHost*>(vItems[0]);
  ASSERT_NE(nullptr, pHost);
  EXPECT_EQ("ModelVantixIP", pHost->GetPropertyID());
  EXPECT_EQ("Server IP", pHost->GetCaption());
  EXPECT_TRUE(pHost->IsEnabled());
  EXPECT_EQ(eAny, pHost->GetInputMode());
  EXPECT_EQ(eNormal, pHost->GetEchoMode());
  EXPECT_EQ(253u, pHost->GetMaxLength());
  EXPECT_EQ(1u, pHost->GetMinLength());
  EXPECT_EQ("127.0.0.1", pHost->GetText());

  CPropServerPort* pPort = dynamic_cast<CPropServerPort*>(vItems[1]);
  ASSERT_NE(nullptr, pPort);
  EXPECT_EQ("ModelVantixServerPort", pPort->GetPropertyID());
  EXPECT_EQ("Server Port", pPort->GetCaption());
  EXPECT_TRUE(pPort->IsEnabled());
  EXPECT_EQ(1, pPort->GetMinimum());
  EXPECT_EQ(65535, pPort->GetMaximum());
  EXPECT_EQ(1, pPort->GetSingleStep());
  EXPECT_EQ(7000, pPort->GetValue());
}

TEST(ServerSettings, DeclaredChannelTemplate) {
  ServerSettingsModel model;
  ASSERT_EQ(1u, model.ChannelKindCount());
  std::vector<CMetadataProperty*>& vItems = model.ChannelItems("ID_VANTIX_CH");
  ASSERT_EQ(1u, vItems.size());

  CPropertySpinBox* pChannel = dynamic_cast<CPropertySpinBox*>(vItems[0]);
  ASSERT_NE(nullptr, pChannel);
  EXPECT_EQ(nullptr, dynamic_cast<CPropServerPort*>(vItems[0]));
  EXPECT_EQ("ModelVantixCH", pChannel->GetPropertyID());
  EXPECT_EQ("Channel ID", pChannel->GetCaption());
  EXPECT_TRUE(pChannel->IsEnabled());
  EXPECT_EQ(0, pChannel->GetMinimum());
  EXPECT_EQ(512, pChannel->GetMaximum());
  EXPECT_EQ(1, pChannel->GetSingleStep());
  EXPECT_EQ(0, pChannel->GetValue());

  // The template's own value is the default of every new channel.
  T_METADATA_CONFIG setting;
  EXPECT_TRUE(pChannel->GetPropertySetting(setting));
  EXPECT_EQ("ModelVantixCH", setting.strPropertyID);
  EXPECT_EQ("0", setting.strValue);
}

TEST(ServerSettings, CameraIdentifierLimits) {
  ServerSettingsModel model;
  CMetadataProperty* pChannel = model.ChannelItems("ID_VANTIX_CH").at(0);
  T_METADATA_CONFIG setting;
  setting.strPropertyID = "ModelVantixCH";
  for (const char* sValue : {"0", "7", "512", "7 trailing"}) {
    setting.strValue = sValue;
    EXPECT_TRUE(pChannel->IsPropertySettingValid(setting)) << sValue;
  }
  for (const char* sValue : {"513", "600", "-1", "", "cam"}) {
    setting.strValue = sValue;
    EXPECT_FALSE(pChannel->IsPropertySettingValid(setting)) << sValue;
  }
}

TEST(ServerSettings, DefaultsAfterUpdateConfig) {
  ServerSettingsModel model;
  EXPECT_EQ("127.0.0.1", model.GetServerIP());
  EXPECT_EQ(0, model.GetServerPort());
  EXPECT_TRUE(model.UpdateConfig());
  EXPECT_EQ("127.0.0.1", model.GetServerIP());
  EXPECT_EQ(7000, model.GetServerPort());
}

TEST(ServerSettings, UpdateConfigPicksUpAcceptedValues) {
  ServerSettingsModel model;
  CMetadataProperty* pHost = model.SourceItems().at(0);
  CMetadataProperty* pPort = model.SourceItems().at(1);

  const std::string strLongName(253, 'n');
  EXPECT_TRUE(SetItemValue(pHost, strLongName));
  EXPECT_TRUE(SetItemValue(pPort, "65535"));
  EXPECT_TRUE(model.UpdateConfig());
  EXPECT_EQ(strLongName, model.GetServerIP());
  EXPECT_EQ(65535, model.GetServerPort());

  // Refused values never reach the connection settings.
  EXPECT_FALSE(SetItemValue(pHost, std::string(254, 'n')));
  EXPECT_FALSE(SetItemValue(pPort, "65536"));
  EXPECT_FALSE(SetItemValue(pPort, "0"));
  EXPECT_TRUE(model.UpdateConfig());
  EXPECT_EQ(strLongName, model.GetServerIP());
  EXPECT_EQ(65535, model.GetServerPort());

  EXPECT_TRUE(SetItemValue(pHost, "server.example"));
  EXPECT_TRUE(SetItemValue(pPort, "1"));
  EXPECT_TRUE(model.UpdateConfig());
  EXPECT_EQ("server.example", model.GetServerIP());
  EXPECT_EQ(1, model.GetServerPort());
}

TEST(ServerSettings, PortKeepsTheLow16Bits) {
  ServerSettingsModel model;
  // Only a value set directly can lie beyond the port rule.
  static_cast<CPropServerPort*>(model.SourceItems().at(1))->SetValue(65536 + 80);
  EXPECT_TRUE(model.UpdateConfig());
  EXPECT_EQ(80, model.GetServerPort());
}

TEST(ServerSettings, UnexpectedItemClassStopsUpdateConfig) {
  ServerSettingsModel model;
  std::vector<CMetadataProperty*>& vItems = model.SourceItems();
  // A port item of the wrong class, ahead of a changed address: the walk stops
  // there and the address is not taken over.
  CPropertySpinBox* pPlainPort = new CPropertySpinBox();
  pPlainPort->SetPropertyID("ModelVantixServerPort");
  pPlainPort->SetMinimum(1);
  pPlainPort->SetValue(9000);
  vItems.insert(vItems.begin(), pPlainPort);  // the model deletes it
  ASSERT_TRUE(SetItemValue(vItems[1], "10.9.8.7"));

  EXPECT_FALSE(model.UpdateConfig());
  EXPECT_EQ("127.0.0.1", model.GetServerIP());
  EXPECT_EQ(0, model.GetServerPort());
}

TEST(ServerSettings, AddressItemOfTheWrongClass) {
  ServerSettingsModel model;
  std::vector<CMetadataProperty*>& vItems = model.SourceItems();
  CPropertyLineEdit* pPlainHost = new CPropertyLineEdit();
  pPlainHost->SetPropertyID("ModelVantixIP");
  pPlainHost->SetText("10.0.0.1");
  delete vItems[0];
  vItems[0] = pPlainHost;  // the model deletes it

  EXPECT_FALSE(model.UpdateConfig());
  EXPECT_EQ("127.0.0.1", model.GetServerIP());
  EXPECT_EQ(0, model.GetServerPort());
}

}  // namespace
