#pragma once

#include <string>
#include <vector>

#include "MetadataModelBase/MetadataModelDef.h"

// One channel of the device: its host-assigned identifier, enable flag, kind,
// configuration list and child channels. A value type: copying a channel
// copies its whole subtree.
class CMetadataChannel {
 public:
  CMetadataChannel();
  virtual ~CMetadataChannel();
  CMetadataChannel(const CMetadataChannel&) = default;
  CMetadataChannel& operator=(const CMetadataChannel&) = default;

  // The channel's own identifier, despite the name.
  unsigned long long GetChannelDeviceID() const { return m_ullChID; }
  bool SetChannelDeviceID(unsigned long long ullChID);

  std::string GetChannelPluginID() const { return m_strPluginID; }
  // Refuses an empty kind (assertion line, old value kept, false).
  bool SetChannelPluginID(const std::string& strPluginID);

  virtual bool GetChannelConfigList(std::vector<T_METADATA_CONFIG>& vPropertySetting) const;
  virtual bool SetChannelConfigList(std::vector<T_METADATA_CONFIG>& vPropertySetting);

  // The stored configuration itself, for readers that need one value and
  // not a copy of the whole list.
  const std::vector<T_METADATA_CONFIG>& ChannelConfig() const { return m_vChannelConfig; }

  bool GetChannelEnable(bool& bEnable) const;
  bool SetChannelEnable(bool bEnable);
  bool IsEnabled() const { return m_bEnable; }

  std::vector<CMetadataChannel>& GetChildChannel() { return vChildChannel; }
  const std::vector<CMetadataChannel>& GetChildChannel() const { return vChildChannel; }

 protected:
  unsigned long long m_ullChID;
  bool m_bEnable;
  std::string m_strPluginID;
  std::vector<T_METADATA_CONFIG> m_vChannelConfig;
  std::vector<CMetadataChannel> vChildChannel;
};
