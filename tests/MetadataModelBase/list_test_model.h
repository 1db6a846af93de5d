#pragma once

// A model with scripted hooks whose declared lists the test fills itself.

#include <string>

#include "support/scripted_model.h"

class CListTestModel : public vantix_test::ScriptedModel {
 public:
  // The model takes ownership of the property.
  void AddSourceProperty(CMetadataProperty* pProperty) { m_vSourceProperty.push_back(pProperty); }
  void AddChannelProperty(const std::string& strPluginID, CMetadataProperty* pProperty) {
    m_mapChProperty[strPluginID].push_back(pProperty);
  }
  void AddFilterProfile(const T_CHANNEL_PROFILE& profile) { m_vFilterProfile.push_back(profile); }
  void AddSupportEvent(const T_SUPPORT_EVENT& event) { m_vSupportEvent.push_back(event); }
};
