// The model base's channel tree: channels and their child channels, found
// by identifier, added, numbered, enabled and deleted.

#include <cstdio>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/PluginModelBase.h"

// --- Searching the tree --------------------------------------------------------

CMetadataChannel* CMetadataModelBase1::FindChannelInTree(unsigned long long ullID,
                                                         std::vector<CMetadataChannel>& vList) {
  for (CMetadataChannel& channel : vList) {
    if (channel.GetChannelDeviceID() == ullID) return &channel;
    if (CMetadataChannel* pFound = FindChannelInTree(ullID, channel.GetChildChannel())) return pFound;
  }
  return nullptr;
}

std::vector<CMetadataChannel>* CMetadataModelBase1::FindParentList(unsigned long long ullParentID) {
  // The device comes first: a channel that carries the device's identifier
  // cannot be a parent.
  if (ullParentID == m_ullID) return &m_vChannels;
  CMetadataChannel* pParent = FindChannelInTree(ullParentID, m_vChannels);
  return pParent != nullptr ? &pParent->GetChildChannel() : nullptr;
}

size_t CMetadataModelBase1::FindDirectChannel(const std::vector<CMetadataChannel>& vList,
                                              unsigned long long ullChID) {
  size_t uiPos = 0;
  while (uiPos < vList.size() && vList[uiPos].GetChannelDeviceID() != ullChID) ++uiPos;
  return uiPos;
}

bool CMetadataModelBase1::FindMetadataChannel(unsigned long long ullID,
                                              std::vector<CMetadataChannel>& vChildChannel,
                                              CMetadataChannel& MetadataChannel) {
  const CMetadataChannel* pFound = FindChannelInTree(ullID, vChildChannel);
  if (pFound == nullptr) return false;
  MetadataChannel = *pFound;
  return true;
}

bool CMetadataModelBase1::FindAndSetChannelPluginID(unsigned long long ullID,
                                                    std::vector<CMetadataChannel>& vChildChannel,
                                                    const std::string& strPluginID) {
  CMetadataChannel* pFound = FindChannelInTree(ullID, vChildChannel);
  if (pFound == nullptr) return false;
  // An empty kind is refused by the channel itself; the channel was still
  // found, which is what the result reports.
  pFound->SetChannelPluginID(strPluginID);
  return true;
}

bool CMetadataModelBase1::FindAndSetChannelEnable(unsigned long long ullID,
                                                  std::vector<CMetadataChannel>& vChildChannel,
                                                  bool bEnable) {
  CMetadataChannel* pFound = FindChannelInTree(ullID, vChildChannel);
  if (pFound == nullptr) return false;
  pFound->SetChannelEnable(bEnable);
  return true;
}

// --- Channel operations ------------------------------------------------------

bool CMetadataModelBase1::GetChannelCount(unsigned long long ullParentID, unsigned int* puiCount) {
  if (puiCount == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const std::vector<CMetadataChannel>* pList = FindParentList(ullParentID);
  *puiCount = pList != nullptr ? static_cast<unsigned int>(pList->size()) : 0;
  return pList != nullptr;
}

bool CMetadataModelBase1::GetChannelIndex(unsigned long long ullParentID, unsigned long long ullChID,
                                          unsigned int* puiIdx) {
  if (puiIdx == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const std::vector<CMetadataChannel>* pList = FindParentList(ullParentID);
  if (pList == nullptr) return false;
  const size_t uiPos = FindDirectChannel(*pList, ullChID);
  if (uiPos == pList->size()) return false;
  *puiIdx = static_cast<unsigned int>(uiPos);
  return true;
}

bool CMetadataModelBase1::GetChannelID(unsigned long long ullParentID, unsigned int uiChIdx,
                                       unsigned long long* pullChID) {
  if (pullChID == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const std::vector<CMetadataChannel>* pList = FindParentList(ullParentID);
  if (pList == nullptr || uiChIdx >= pList->size()) return false;
  *pullChID = (*pList)[uiChIdx].GetChannelDeviceID();
  return true;
}

bool CMetadataModelBase1::SetChannelID(unsigned long long ullParentID, unsigned int uiChIdx,
                                       unsigned long long ullChID) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  std::vector<CMetadataChannel>* pList = FindParentList(ullParentID);
  if (pList == nullptr || uiChIdx >= pList->size()) return false;
  return (*pList)[uiChIdx].SetChannelDeviceID(ullChID);
}

bool CMetadataModelBase1::GetChannelPluginID(unsigned long long ullChID, T_PLUGIN_ID* pPluginID) {
  if (pPluginID == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  CMetadataChannel channel;
  if (!FindMetadataChannel(ullChID, m_vChannels, channel)) return false;
  CopyText(pPluginID->sPluginID, channel.GetChannelPluginID());
  return true;
}

bool CMetadataModelBase1::SetChannelPluginID(unsigned long long ullChID, const T_PLUGIN_ID* pPluginID) {
  if (pPluginID == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  return FindAndSetChannelPluginID(ullChID, m_vChannels, ReadText(pPluginID->sPluginID));
}

bool CMetadataModelBase1::IsChannelEnable(unsigned long long ullChID, bool* pbEnable) {
  if (pbEnable == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  CMetadataChannel channel;
  if (!FindMetadataChannel(ullChID, m_vChannels, channel)) return false;
  return channel.GetChannelEnable(*pbEnable);
}

bool CMetadataModelBase1::SetChannelEnable(unsigned long long ullChID, bool bEnable) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  return FindAndSetChannelEnable(ullChID, m_vChannels, bEnable);
}

bool CMetadataModelBase1::CanAddNewChannel(unsigned int uiNodeNum, const T_PLUGIN_ID* pChildPluginID) {
  // The relation list is declared once at construction, so no lock is needed.
  if (pChildPluginID == nullptr) return false;
  const T_PARENT_CHILD_MAP_ITEM* pRelation = FindRelation(pChildPluginID);
  const unsigned int uiMaximum = pRelation != nullptr ? pRelation->uiMaxNumber : 0;
  return uiNodeNum <= uiMaximum;
}

bool CMetadataModelBase1::AddChannel(unsigned long long ullParentID, unsigned long long ullChID,
                                     const T_PLUGIN_ID* pChPluginID) {
  if (pChPluginID == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  std::vector<CMetadataChannel>* pList = FindParentList(ullParentID);
  if (pList == nullptr) return false;
  if (FindDirectChannel(*pList, ullChID) != pList->size()) {
    printf("[MDS Channel] CID: [%llX] already exists\n", ullChID);
    fflush(stdout);
    return true;
  }

  CMetadataChannel channel;
  channel.SetChannelDeviceID(ullChID);
  channel.SetChannelPluginID(ReadText(pChPluginID->sPluginID));
  std::vector<T_METADATA_CONFIG> vDefaults;
  GetDefaultChannelConfig(channel.GetChannelPluginID(), vDefaults);
  channel.SetChannelConfigList(vDefaults);
  pList->push_back(channel);

  printf("[MDS Channel]:[%llX] CID: [%llX] Size:[%u]\n", ullParentID, ullChID,
         static_cast<unsigned int>(pList->size()));
  fflush(stdout);
  return true;
}

bool CMetadataModelBase1::DeleteChannel(unsigned long long ullParentID, unsigned long long ullChID) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  std::vector<CMetadataChannel>* pList = FindParentList(ullParentID);
  if (pList == nullptr) return false;
  const size_t uiPos = FindDirectChannel(*pList, ullChID);
  if (uiPos == pList->size()) return false;
  pList->erase(pList->begin() + uiPos);
  return true;
}
