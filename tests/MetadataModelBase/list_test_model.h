#pragma once

// A model with trivial hooks whose declared lists the test fills itself.

#include <string>

#include "MetadataModelBase/PluginModelBase.h"

class CListTestModel : public CMetadataModelBase1 {
 public:
  // The model takes ownership of the property.
  void AddSourceProperty(CMetadataProperty* pProperty) { m_vSourceProperty.push_back(pProperty); }
  void AddChannelProperty(const std::string& strPluginID, CMetadataProperty* pProperty) {
    m_mapChProperty[strPluginID].push_back(pProperty);
  }
  void AddFilterProfile(const T_CHANNEL_PROFILE& profile) { m_vFilterProfile.push_back(profile); }
  void AddSupportEvent(const T_SUPPORT_EVENT& event) { m_vSupportEvent.push_back(event); }

 protected:
  bool InitDeviceInfo() override { return true; }
  bool InitCategoryType() override { return true; }
  bool InitChannelInfo() override { return true; }
  bool InitChannelRelation() override { return true; }
  bool InitPropertyItem() override { return true; }
  bool InitialModel() override { return true; }
  bool UninitialModel() override { return true; }
  bool ConnectModel() override { return true; }
  bool DisconnectModel() override { return true; }
  bool InitFilterProfile() override { return true; }
  bool InitSupportEventList() override { return true; }
  void DistributeMetadata(const char*, int) override {}
};
