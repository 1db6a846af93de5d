// The model base's configuration lists: the source list lives in the source
// property items, each channel's list in the channel; the channel property
// items only validate and supply defaults.

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/PluginModelBase.h"

namespace {

T_METADATA_CONFIG FromHostRecord(const T_PLUGIN_UI_CONFIG& record) {
  T_METADATA_CONFIG pair;
  pair.strPropertyID = ReadText(record.sPluginID);
  pair.strValue = ReadText(record.sValue);
  return pair;
}

void ToHostRecord(const T_METADATA_CONFIG& pair, T_PLUGIN_UI_CONFIG& record) {
  CopyText(record.sPluginID, pair.strPropertyID);
  CopyText(record.sValue, pair.strValue);
}

}  // namespace

// --- Channel templates ---------------------------------------------------------

const std::vector<CMetadataProperty*>* CMetadataModelBase1::FindChannelTemplates(
    const std::string& strPluginID) const {
  // find, not operator[]: asking about an unknown kind must not add it.
  const auto it = m_mapChProperty.find(strPluginID);
  return it != m_mapChProperty.end() ? &it->second : nullptr;
}

bool CMetadataModelBase1::GetDefaultChannelConfig(const std::string& strPluginID,
                                                  std::vector<T_METADATA_CONFIG>& vPropertySetting) {
  const std::vector<CMetadataProperty*>* pTemplates = FindChannelTemplates(strPluginID);
  if (pTemplates == nullptr) return true;
  for (const CMetadataProperty* pTemplate : *pTemplates) {
    T_METADATA_CONFIG pair;
    pTemplate->GetPropertySetting(pair);
    vPropertySetting.push_back(pair);
  }
  return true;
}

// --- Source configuration ------------------------------------------------------

bool CMetadataModelBase1::GetSourceConfigListSize(unsigned int* puiSize) const {
  // The set of source items is fixed at construction: no lock.
  if (puiSize == nullptr) return false;
  *puiSize = static_cast<unsigned int>(m_vSourceProperty.size());
  return true;
}

bool CMetadataModelBase1::GetSourceConfigList(T_PLUGIN_UI_CONFIG* pPropertySetting,
                                              unsigned int uiSize) const {
  if (pPropertySetting == nullptr) return uiSize == 0;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  CopyToHostArray(m_vSourceProperty, pPropertySetting, uiSize,
                  [](const CMetadataProperty* pProperty, T_PLUGIN_UI_CONFIG& record) {
                    // A value outside the item's limits still comes out as
                    // the item reports it; the result is not looked at.
                    T_METADATA_CONFIG pair;
                    pProperty->GetPropertySetting(pair);
                    ToHostRecord(pair, record);
                  });
  return true;
}

bool CMetadataModelBase1::SetSourceConfigList(const T_PLUGIN_UI_CONFIG* pPropertySetting,
                                              unsigned int uiSize) {
  if (pPropertySetting == nullptr) return uiSize == 0;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  // No validation pass first: every acceptable value is stored even when
  // another record of the list is refused.
  bool bResult = true;
  for (unsigned int i = 0; i < uiSize; ++i) {
    const T_METADATA_CONFIG pair = FromHostRecord(pPropertySetting[i]);
    for (CMetadataProperty* pProperty : m_vSourceProperty) {
      if (pProperty->GetPropertyID() == pair.strPropertyID && !pProperty->SetPropertySetting(pair))
        bResult = false;
    }
  }
  return bResult;
}

bool CMetadataModelBase1::IsSourceConfigListValid(std::vector<T_METADATA_CONFIG> vPropertySetting) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  for (const T_METADATA_CONFIG& pair : vPropertySetting) {
    for (const CMetadataProperty* pProperty : m_vSourceProperty) {
      if (pProperty->GetPropertyID() == pair.strPropertyID && !pProperty->IsPropertySettingValid(pair))
        return false;
    }
  }
  return true;
}

// --- Channel configuration -----------------------------------------------------

bool CMetadataModelBase1::GetChannelConfigListSize(unsigned long long ullChID, unsigned int* puiSize) const {
  if (puiSize == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  // The same channel that GetChannelConfigList reads, so the size asked
  // first is the size of the list read next.
  const size_t uiPos = FindDirectChannel(m_vChannels, ullChID);
  if (uiPos < m_vChannels.size())
    *puiSize = static_cast<unsigned int>(m_vChannels[uiPos].ChannelConfig().size());
  return true;
}

bool CMetadataModelBase1::GetChannelConfigList(unsigned long long ullChID,
                                               T_PLUGIN_UI_CONFIG* pPropertySetting,
                                               unsigned int uiSize) const {
  if (pPropertySetting == nullptr && uiSize != 0) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const size_t uiPos = FindDirectChannel(m_vChannels, ullChID);
  if (uiPos == m_vChannels.size()) return false;
  CopyToHostArray(m_vChannels[uiPos].ChannelConfig(), pPropertySetting, uiSize, ToHostRecord);
  return true;
}

bool CMetadataModelBase1::SetChannelConfigList(unsigned long long ullChID,
                                               T_PLUGIN_UI_CONFIG* pPropertySetting, unsigned int uiSize) {
  if (pPropertySetting == nullptr && uiSize != 0) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  std::vector<T_METADATA_CONFIG> vPropertySetting;
  for (unsigned int i = 0; i < uiSize; ++i) vPropertySetting.push_back(FromHostRecord(pPropertySetting[i]));

  // The list is stored even when refused: validation has put the template's
  // value in place of every refused one.
  bool bResult = true;
  for (CMetadataChannel& channel : m_vChannels) {
    if (channel.GetChannelDeviceID() != ullChID) continue;
    if (!IsChannelConfigListValid(channel.GetChannelPluginID(), vPropertySetting)) bResult = false;
    channel.SetChannelConfigList(vPropertySetting);
  }
  return bResult;
}

bool CMetadataModelBase1::IsChannelConfigListValid(const std::string& strPluginID,
                                                   std::vector<T_METADATA_CONFIG>& vPropertySetting) {
  const std::vector<CMetadataProperty*>* pTemplates = FindChannelTemplates(strPluginID);
  if (pTemplates == nullptr) return true;
  bool bResult = true;
  for (T_METADATA_CONFIG& pair : vPropertySetting) {
    for (const CMetadataProperty* pTemplate : *pTemplates) {
      if (pTemplate->GetPropertyID() != pair.strPropertyID || pTemplate->IsPropertySettingValid(pair))
        continue;
      bResult = false;
      pTemplate->SetDefaultPropertySetting(pair);
    }
  }
  return bResult;
}
