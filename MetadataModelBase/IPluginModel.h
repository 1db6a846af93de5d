#pragma once

// The interface through which the host metadata server drives a model. The
// host calls these operations by virtual slot, so their order is fixed.

#include "MetadataModelBase/PluginModelDef.h"

class IPluginModel1 {
 public:
  virtual ~IPluginModel1() {}

  virtual bool Initialize() = 0;
  virtual bool Uninitialize() = 0;
  virtual bool GetPluginDeviceInfo(T_PLUGIN_DEVICE_INFO* pInfo) const = 0;
  virtual bool GetCategoryType(E_PLUGIN_CATEGORY* peType) const = 0;
  virtual bool GetSupportChannelPluginIDSize(unsigned int* puiSize) const = 0;
  virtual bool GetSupportChannelPluginID(T_PLUGIN_ID* pChannelPlguinID, unsigned int uiSize) const = 0;
  virtual bool GetChannelRelationSize(unsigned int* puiSize) const = 0;
  virtual bool GetChannelRelation(T_PLUGIN_PARENT_CHILD_MAP_ITEM* pParentChildMapList,
                                  unsigned int uiSize) const = 0;
  virtual bool GetSupportChildPluginIDSize(const T_PLUGIN_ID* pChannelPlguinID,
                                           unsigned int* puiSize) const = 0;
  virtual bool GetSupportChildPluginID(const T_PLUGIN_ID* pChannelPlguinID, T_PLUGIN_ID* pChildPlguinID,
                                       unsigned int uiSize) const = 0;
  virtual bool GetDeviceID(unsigned long long* pullID) const = 0;
  virtual bool SetDeviceID(unsigned long long ullID) = 0;
  virtual bool IsDeviceEnable(bool* pbEnable) = 0;
  virtual bool Connect(bool bSync) = 0;
  virtual bool Disconnect(bool bSync) = 0;
  virtual bool GetStatus(E_METADATA_STATUS* pStatus) const = 0;
  virtual bool GetChannelCount(unsigned long long ullParentID, unsigned int* puiCount) = 0;
  virtual bool GetChannelIndex(unsigned long long ullParentID, unsigned long long ullChID,
                               unsigned int* puiIdx) = 0;
  virtual bool GetChannelID(unsigned long long ullParentID, unsigned int uiChIdx,
                            unsigned long long* pullChID) = 0;
  virtual bool SetChannelID(unsigned long long ullParentID, unsigned int uiChIdx,
                            unsigned long long ullChID) = 0;
  virtual bool GetChannelPluginID(unsigned long long ullChID, T_PLUGIN_ID* pPluginID) = 0;
  virtual bool SetChannelPluginID(unsigned long long ullChID, const T_PLUGIN_ID* pPluginID) = 0;
  virtual bool IsChannelEnable(unsigned long long ullChID, bool* pbEnable) = 0;
  virtual bool SetChannelEnable(unsigned long long ullChID, bool bEnable) = 0;
  virtual bool CanAddNewChannel(unsigned int uiNodeNum, const T_PLUGIN_ID* pChildPluginID) = 0;
  virtual bool AddChannel(unsigned long long ullParentID, unsigned long long ullChID,
                          const T_PLUGIN_ID* pChPluginID) = 0;
  virtual bool DeleteChannel(unsigned long long ullParentID, unsigned long long ullChID) = 0;
  virtual bool CreateSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyItem, unsigned int* puiSize) = 0;
  virtual bool ReleaseSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyList, unsigned int uiSize) = 0;
  virtual bool CreateChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyItem,
                                         unsigned int* puiSize) = 0;
  virtual bool ReleaseChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyList,
                                          unsigned int uiSize) = 0;
  virtual bool GetSourceConfigListSize(unsigned int* puiSize) const = 0;
  virtual bool GetSourceConfigList(T_PLUGIN_UI_CONFIG* pPropertySetting, unsigned int uiSize) const = 0;
  virtual bool SetSourceConfigList(const T_PLUGIN_UI_CONFIG* pPropertySetting, unsigned int uiSize) = 0;
  virtual bool GetChannelConfigListSize(unsigned long long ullChID, unsigned int* puiSize) const = 0;
  virtual bool GetChannelConfigList(unsigned long long ullChID, T_PLUGIN_UI_CONFIG* pPropertySetting,
                                    unsigned int uiSize) const = 0;
  virtual bool SetChannelConfigList(unsigned long long ullChID, T_PLUGIN_UI_CONFIG* pPropertySetting,
                                    unsigned int uiSize) = 0;
  virtual bool CreateFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile, unsigned int* puiSize) = 0;
  virtual bool ReleaseFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile, unsigned int uiSize) = 0;
  virtual bool RegisterMetadataCallbackFunc(fnPluginCallback fn, void* pData) = 0;
  virtual bool RegisterEventCallbackFunc(fnPluginEventCallback fn, void* pData) = 0;
  virtual bool GetLastErrorMessage(T_PLUGIN_ERROR_MESSAGE* pErrorMsg) const = 0;
};

class IPluginModel2 : public IPluginModel1 {
 public:
  virtual ~IPluginModel2() {}

  virtual bool GetSupportEventSize(const T_PLUGIN_ID* pPluginID, unsigned int* puiSize) const = 0;
  virtual bool GetSupportEvent(const T_PLUGIN_ID* pPluginID, T_SUPPORT_EVENT_ID* puiEventList,
                               unsigned int uiSize) const = 0;
  virtual bool SetDeviceEnable(bool bEnable) = 0;
};

// The two functions that the host looks up by name in the plug-in.
extern "C" {
typedef IPluginModel1* (*fnCreatePluginModel)();
typedef bool (*fnReleasePluginModel)(IPluginModel1* pModel);
}
