#include "MetadataModelBase/MetadataChannel.h"

#include "MetadataModelBase/MetadataAssert.h"

CMetadataChannel::CMetadataChannel() : m_ullChID(0xFFFFFFFFFFFFFFFFull), m_bEnable(true) {}

CMetadataChannel::~CMetadataChannel() {}

bool CMetadataChannel::SetChannelDeviceID(unsigned long long ullChID) {
  m_ullChID = ullChID;
  return true;
}

bool CMetadataChannel::SetChannelPluginID(const std::string& strPluginID) {
  if (strPluginID.empty()) {
    METADATA_ASSERT_FAIL(METADATA_SRC_METADATA_CHANNEL);
    return false;
  }
  m_strPluginID = strPluginID;
  return true;
}

bool CMetadataChannel::GetChannelConfigList(std::vector<T_METADATA_CONFIG>& vPropertySetting) const {
  vPropertySetting = m_vChannelConfig;
  return true;
}

bool CMetadataChannel::SetChannelConfigList(std::vector<T_METADATA_CONFIG>& vPropertySetting) {
  m_vChannelConfig = vPropertySetting;
  return true;
}

bool CMetadataChannel::GetChannelEnable(bool& bEnable) const {
  bEnable = m_bEnable;
  return true;
}

bool CMetadataChannel::SetChannelEnable(bool bEnable) {
  m_bEnable = bEnable;
  return true;
}
