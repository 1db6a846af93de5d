// The model base's channel tree and configuration lists.
// Placeholder until the channel operations are built: every lookup fails.

#include "MetadataModelBase/PluginModelBase.h"

bool CMetadataModelBase1::GetChannelCount(unsigned long long, unsigned int* puiCount) {
  if (puiCount != nullptr) *puiCount = 0;
  return false;
}
bool CMetadataModelBase1::GetChannelIndex(unsigned long long, unsigned long long, unsigned int*) { return false; }
bool CMetadataModelBase1::GetChannelID(unsigned long long, unsigned int, unsigned long long*) { return false; }
bool CMetadataModelBase1::SetChannelID(unsigned long long, unsigned int, unsigned long long) { return false; }
bool CMetadataModelBase1::GetChannelPluginID(unsigned long long, T_PLUGIN_ID*) { return false; }
bool CMetadataModelBase1::SetChannelPluginID(unsigned long long, const T_PLUGIN_ID*) { return false; }
bool CMetadataModelBase1::IsChannelEnable(unsigned long long, bool*) { return false; }
bool CMetadataModelBase1::SetChannelEnable(unsigned long long, bool) { return false; }
bool CMetadataModelBase1::CanAddNewChannel(unsigned int, const T_PLUGIN_ID*) { return false; }
bool CMetadataModelBase1::AddChannel(unsigned long long, unsigned long long, const T_PLUGIN_ID*) { return false; }
bool CMetadataModelBase1::DeleteChannel(unsigned long long, unsigned long long) { return false; }
bool CMetadataModelBase1::GetSourceConfigListSize(unsigned int*) const { return false; }
bool CMetadataModelBase1::GetSourceConfigList(T_PLUGIN_UI_CONFIG*, unsigned int) const { return false; }
bool CMetadataModelBase1::SetSourceConfigList(const T_PLUGIN_UI_CONFIG*, unsigned int) { return false; }
bool CMetadataModelBase1::GetChannelConfigListSize(unsigned long long, unsigned int*) const { return false; }
bool CMetadataModelBase1::GetChannelConfigList(unsigned long long, T_PLUGIN_UI_CONFIG*, unsigned int) const {
  return false;
}
bool CMetadataModelBase1::SetChannelConfigList(unsigned long long, T_PLUGIN_UI_CONFIG*, unsigned int) { return false; }
bool CMetadataModelBase1::IsSourceConfigListValid(std::vector<T_METADATA_CONFIG>) { return false; }
bool CMetadataModelBase1::IsChannelConfigListValid(const std::string&, std::vector<T_METADATA_CONFIG>&) {
  return false;
}
