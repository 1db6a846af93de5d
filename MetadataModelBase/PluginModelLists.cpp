// The control descriptions, filter profiles and event lists handed to the host.
// Placeholder until these lists are built: nothing is handed out.

#include "MetadataModelBase/PluginModelBase.h"

bool CMetadataModelBase1::CreateSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyItem, unsigned int* puiSize) {
  if (ppPropertyItem != nullptr) *ppPropertyItem = nullptr;
  if (puiSize != nullptr) *puiSize = 0;
  return false;
}
bool CMetadataModelBase1::ReleaseSourcePropertyList(T_PROPERTY_UI_INFO**, unsigned int) { return false; }
bool CMetadataModelBase1::CreateChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyItem,
                                                    unsigned int* puiSize) {
  if (ppChannelPropertyItem != nullptr) *ppChannelPropertyItem = nullptr;
  if (puiSize != nullptr) *puiSize = 0;
  return false;
}
bool CMetadataModelBase1::ReleaseChannelPropertyList(T_CAHNNEL_PROPERTY**, unsigned int) { return false; }
bool CMetadataModelBase1::CreateFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile, unsigned int* puiSize) {
  if (ppFilterProfile != nullptr) *ppFilterProfile = nullptr;
  if (puiSize != nullptr) *puiSize = 0;
  return false;
}
bool CMetadataModelBase1::ReleaseFilterProfile(T_PLUGIN_FILTER_PROFILE**, unsigned int) { return false; }
bool CMetadataModelBase1::GetSupportEventSize(const T_PLUGIN_ID*, unsigned int* puiSize) const {
  if (puiSize != nullptr) *puiSize = 0;
  return false;
}
bool CMetadataModelBase1::GetSupportEvent(const T_PLUGIN_ID*, T_SUPPORT_EVENT_ID*, unsigned int) const {
  return false;
}
