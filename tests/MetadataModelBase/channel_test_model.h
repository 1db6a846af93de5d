#pragma once

// A model over the base with trivial hooks, so the channel tree and the
// configuration lists can be exercised without a concrete model's connection.

#include <cstring>
#include <string>

#include "MetadataModelBase/PluginModelBase.h"

namespace channel_test {

const char kTestKind[] = "TEST_CH";
const unsigned int kTestMaxChannels = 1024;

// Declares the same source items and channel template as the concrete model
// ("ModelVantixIP", "ModelVantixServerPort"; "ModelVantixCH"), under a kind
// of its own that holds one more template, "TestLabel" (text of at most 16
// bytes, "cam"), so the order of templates shows.
class ChannelTestModel : public CMetadataModelBase1 {
 public:
  ChannelTestModel() {
    T_PARENT_CHILD_MAP_ITEM relation;
    relation.strPluginID = kTestKind;
    relation.uiMaxNumber = kTestMaxChannels;
    relation.uiMinNumber = 1;
    m_vParentChildMapList.push_back(relation);

    CPropServerHost* pHost = new CPropServerHost();
    pHost->SetPropertyID("ModelVantixIP");
    pHost->SetMaxLength(253);
    pHost->SetText("127.0.0.1");
    m_vSourceProperty.push_back(pHost);
    CPropServerPort* pPort = new CPropServerPort();
    pPort->SetPropertyID("ModelVantixServerPort");
    pPort->SetMinimum(1);
    pPort->SetMaximum(65535);
    pPort->SetValue(7000);
    m_vSourceProperty.push_back(pPort);

    CPropertySpinBox* pCamera = new CPropertySpinBox();
    pCamera->SetPropertyID("ModelVantixCH");
    pCamera->SetMinimum(0);
    pCamera->SetMaximum(512);
    pCamera->SetValue(0);
    m_mapChProperty[kTestKind].push_back(pCamera);
    CPropertyLineEdit* pLabel = new CPropertyLineEdit();
    pLabel->SetPropertyID("TestLabel");
    pLabel->SetMaxLength(16);
    pLabel->SetText("cam");
    m_mapChProperty[kTestKind].push_back(pLabel);
  }
  ~ChannelTestModel() override {}

  size_t ChannelKindCount() const { return m_mapChProperty.size(); }
  // The channel's stored list, exactly as kept (no host record in between).
  std::vector<T_METADATA_CONFIG> StoredConfigOfDeviceChannel(size_t uiPos) const {
    return m_vChannels.at(uiPos).ChannelConfig();
  }
  // One more channel kind with a single template "Any" (text of any length
  // up to 300 bytes); only before the model is shared with other threads.
  void DeclareKind(const std::string& kind, unsigned int maxChannels) {
    T_PARENT_CHILD_MAP_ITEM relation;
    relation.strPluginID = kind;
    relation.uiMaxNumber = maxChannels;
    relation.uiMinNumber = 0;
    m_vParentChildMapList.push_back(relation);
    CPropertyLineEdit* pAny = new CPropertyLineEdit();
    pAny->SetPropertyID("Any");
    pAny->SetMaxLength(300);
    pAny->SetText("default");
    m_mapChProperty[kind].push_back(pAny);
  }
  // Bypasses validation, as only the model's own code can.
  void SetHostTextDirectly(const std::string& text) {
    static_cast<CPropServerHost*>(m_vSourceProperty[0])->SetText(text);
  }

 protected:
  bool InitDeviceInfo() override { return true; }
  bool InitCategoryType() override { return true; }
  bool InitChannelInfo() override { return true; }
  bool InitChannelRelation() override { return true; }
  bool InitPropertyItem() override { return true; }
  bool InitialModel() override { return true; }
  bool UninitialModel() override { return true; }
  bool ConnectModel() override { return false; }
  bool DisconnectModel() override { return true; }
  bool InitFilterProfile() override { return true; }
  bool InitSupportEventList() override { return true; }
  void DistributeMetadata(const char*, int) override {}
};

inline T_PLUGIN_ID MakeID(const std::string& text) {
  T_PLUGIN_ID id;
  memset(&id, 0, sizeof(id));
  strncpy(id.sPluginID, text.c_str(), sizeof(id.sPluginID) - 1);
  return id;
}

inline T_PLUGIN_UI_CONFIG MakeRecord(const std::string& id, const std::string& value) {
  T_PLUGIN_UI_CONFIG record;
  memset(&record, 0, sizeof(record));
  strncpy(record.sPluginID, id.c_str(), sizeof(record.sPluginID) - 1);
  strncpy(record.sValue, value.c_str(), sizeof(record.sValue) - 1);
  return record;
}

}  // namespace channel_test
