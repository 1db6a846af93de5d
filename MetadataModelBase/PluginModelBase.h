#pragma once

// The generic model base: implements the whole host interface once, for
// every concrete model. A concrete model derives from it, fills the declared
// data in its constructor through the Init... hooks and supplies the
// connection and distribution hooks.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MetadataModelBase/HandedOutArrays.h"
#include "MetadataModelBase/IPluginModel.h"
#include "MetadataModelBase/MetadataChannel.h"
#include "MetadataModelBase/MetadataMessageQueue.h"
#include "MetadataModelBase/MetadataModelDef.h"
#include "MetadataModelBase/MetadataProperty.h"
#include "utility/sysutils/apr/apr_cond.h"
#include "utility/sysutils/apr/apr_thread_worker.h"
#include "utility/sysutils/apr/apr_timing.h"
#include "utility/sysutils/common/critical_section.h"

// The worker is stopped through the thread worker's own stop request.
static_assert(static_cast<uint32_t>(ePLUGIN_TC_STOP) == SysUtils::AprThreadWorker::kStopRequest,
              "one stop request for every worker");

class CMetadataModelBase1 : public IPluginModel2, private SysUtils::AprThreadWorker {
 public:
  // Event codes raised through the host's event callback.
  static const unsigned int kEventConnectionLost = 3600;
  static const unsigned int kEventConnectionMade = 3601;
  // The text by which a receiver reports through DataCallback that its
  // connection is lost, handed on with its length.
  static constexpr char kConnectionLostMarker[] = "##CONNECTION_LOST##";
  static constexpr int kConnectionLostMarkerLength = sizeof(kConnectionLostMarker) - 1;

  CMetadataModelBase1();
  virtual ~CMetadataModelBase1();

  // --- IPluginModel1 -------------------------------------------------------
  virtual bool Initialize() override;
  virtual bool Uninitialize() override;
  virtual bool GetPluginDeviceInfo(T_PLUGIN_DEVICE_INFO* pInfo) const override;
  virtual bool GetCategoryType(E_PLUGIN_CATEGORY* peType) const override;
  virtual bool GetSupportChannelPluginIDSize(unsigned int* puiSize) const override;
  virtual bool GetSupportChannelPluginID(T_PLUGIN_ID* pChannelPlguinID, unsigned int uiSize) const override;
  virtual bool GetChannelRelationSize(unsigned int* puiSize) const override;
  virtual bool GetChannelRelation(T_PLUGIN_PARENT_CHILD_MAP_ITEM* pParentChildMapList,
                                  unsigned int uiSize) const override;
  virtual bool GetSupportChildPluginIDSize(const T_PLUGIN_ID* pChannelPlguinID,
                                           unsigned int* puiSize) const override;
  virtual bool GetSupportChildPluginID(const T_PLUGIN_ID* pChannelPlguinID, T_PLUGIN_ID* pChildPlguinID,
                                       unsigned int uiSize) const override;
  virtual bool GetDeviceID(unsigned long long* pullID) const override;
  virtual bool SetDeviceID(unsigned long long ullID) override;
  virtual bool IsDeviceEnable(bool* pbEnable) override;
  virtual bool Connect(bool bSync) override EXCLUDES(m_csSetting, m_csMessageQueue);
  virtual bool Disconnect(bool bSync) override EXCLUDES(m_csSetting, m_csMessageQueue);
  virtual bool GetStatus(E_METADATA_STATUS* pStatus) const override;
  virtual bool GetChannelCount(unsigned long long ullParentID, unsigned int* puiCount) override;
  virtual bool GetChannelIndex(unsigned long long ullParentID, unsigned long long ullChID,
                               unsigned int* puiIdx) override;
  virtual bool GetChannelID(unsigned long long ullParentID, unsigned int uiChIdx,
                            unsigned long long* pullChID) override;
  virtual bool SetChannelID(unsigned long long ullParentID, unsigned int uiChIdx,
                            unsigned long long ullChID) override;
  virtual bool GetChannelPluginID(unsigned long long ullChID, T_PLUGIN_ID* pPluginID) override;
  virtual bool SetChannelPluginID(unsigned long long ullChID, const T_PLUGIN_ID* pPluginID) override;
  virtual bool IsChannelEnable(unsigned long long ullChID, bool* pbEnable) override;
  virtual bool SetChannelEnable(unsigned long long ullChID, bool bEnable) override;
  virtual bool CanAddNewChannel(unsigned int uiNodeNum, const T_PLUGIN_ID* pChildPluginID) override;
  virtual bool AddChannel(unsigned long long ullParentID, unsigned long long ullChID,
                          const T_PLUGIN_ID* pChPluginID) override;
  virtual bool DeleteChannel(unsigned long long ullParentID, unsigned long long ullChID) override;
  virtual bool CreateSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyItem, unsigned int* puiSize) override;
  virtual bool ReleaseSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyList, unsigned int uiSize) override;
  virtual bool CreateChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyItem,
                                         unsigned int* puiSize) override;
  virtual bool ReleaseChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyList,
                                          unsigned int uiSize) override;
  virtual bool GetSourceConfigListSize(unsigned int* puiSize) const override;
  virtual bool GetSourceConfigList(T_PLUGIN_UI_CONFIG* pPropertySetting, unsigned int uiSize) const override;
  virtual bool SetSourceConfigList(const T_PLUGIN_UI_CONFIG* pPropertySetting, unsigned int uiSize) override;
  virtual bool GetChannelConfigListSize(unsigned long long ullChID, unsigned int* puiSize) const override;
  virtual bool GetChannelConfigList(unsigned long long ullChID, T_PLUGIN_UI_CONFIG* pPropertySetting,
                                    unsigned int uiSize) const override;
  virtual bool SetChannelConfigList(unsigned long long ullChID, T_PLUGIN_UI_CONFIG* pPropertySetting,
                                    unsigned int uiSize) override;
  virtual bool CreateFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile, unsigned int* puiSize) override;
  virtual bool ReleaseFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile, unsigned int uiSize) override;
  virtual bool RegisterMetadataCallbackFunc(fnPluginCallback fn, void* pData) override;
  virtual bool RegisterEventCallbackFunc(fnPluginEventCallback fn, void* pData) override;
  virtual bool GetLastErrorMessage(T_PLUGIN_ERROR_MESSAGE* pErrorMsg) const override;

  // --- IPluginModel2 -------------------------------------------------------
  virtual bool GetSupportEventSize(const T_PLUGIN_ID* pPluginID, unsigned int* puiSize) const override;
  virtual bool GetSupportEvent(const T_PLUGIN_ID* pPluginID, T_SUPPORT_EVENT_ID* puiEventList,
                               unsigned int uiSize) const override;
  virtual bool SetDeviceEnable(bool bEnable) override;

  // --- The base's own operations (not offered to the host) ---------------
  virtual void SetReconnect(bool bReconnect) EXCLUDES(m_csMessageQueue);
  virtual bool IsSourceConfigListValid(std::vector<T_METADATA_CONFIG> vPropertySetting);
  virtual bool IsChannelConfigListValid(const std::string& strPluginID,
                                        std::vector<T_METADATA_CONFIG>& vPropertySetting);

  // The receiver hands every block, and the connection-lost marker, to the
  // model through DataCallback; pData is the model.
  static void DataCallback(const char* sMetadata, int iMetadataLen, void* pData);
  // Maps the two marker texts to host events, for receivers that report
  // connection changes as text.
  static void EventCallback(const char* strMetadata, int iMetadataLen, void* pData);

 protected:
  // Hooks of the concrete model.
  virtual bool InitDeviceInfo() = 0;
  virtual bool InitCategoryType() = 0;
  virtual bool InitChannelInfo() = 0;
  virtual bool InitChannelRelation() = 0;
  virtual bool InitPropertyItem() = 0;
  virtual bool InitialModel() = 0;
  virtual bool UninitialModel() = 0;
  virtual bool ConnectModel() = 0;
  virtual bool DisconnectModel() = 0;
  virtual bool InitFilterProfile() = 0;
  virtual bool InitSupportEventList() = 0;
  virtual void DistributeMetadata(const char* sMetadata, int iMetadataLen) = 0;
  virtual void ThreadProc() override;

  // For the concrete model's destructor: the uninitialisation that a host
  // skipped when it released a model that was still initialised.
  void UninitializeOnRelease();

  // Host callbacks, read together so a pair is never torn.
  void GetMetadataCallback(fnPluginCallback& fn, void*& pData) const EXCLUDES(m_csShared);
  void SetLastErrorText(const std::string& strText) EXCLUDES(m_csShared);
  // The timing that the worker keeps to and that the model hands its receiver.
  const std::shared_ptr<const SysUtils::Timing>& Timing() const { return m_pTiming; }

  // Declared data: filled by the concrete model's constructor and read
  // without a lock afterwards, since nothing writes it again.
  T_PLUGIN_DEVICE_INFO m_DeviceInfo;
  E_PLUGIN_CATEGORY m_eCategory;
  std::vector<T_CHANNEL_INFO> m_vChannelInfo;
  std::vector<T_PARENT_CHILD_MAP_ITEM> m_vParentChildMapList;
  // Written by host threads, read by the worker and the receiver.
  std::atomic<unsigned long long> m_ullID;
  // Written by the worker only.
  std::atomic<E_METADATA_STATUS> m_eStatus;
  // Written by host threads, read by the worker and the receiver.
  fnPluginCallback m_fnPluginCallbackFunc GUARDED_BY(m_csShared);
  void* m_pPluginCallbackData GUARDED_BY(m_csShared);
  fnPluginEventCallback m_fnEventCallbackFunc GUARDED_BY(m_csShared);
  void* m_pEventCallbackData GUARDED_BY(m_csShared);
  // Written by the worker, read by host threads.
  std::string m_strLastErrorMessage GUARDED_BY(m_csShared);
  // The settings lock. Taken before m_csMessageQueue when both are held.
  mutable SysUtils::CriticalSection m_csSetting;
  std::vector<CMetadataChannel> m_vChannels GUARDED_BY(m_csSetting);
  // Declared by the concrete model's constructor; the values of the items
  // are read and written under m_csSetting.
  std::vector<CMetadataProperty*> m_vSourceProperty;
  std::map<std::string, std::vector<CMetadataProperty*>> m_mapChProperty;
  // Declared data, as above.
  std::vector<T_CHANNEL_PROFILE> m_vFilterProfile;
  std::vector<T_SUPPORT_EVENT> m_vSupportEvent;

 private:
  friend class CModelTestDoor;

  bool OnConnect();
  bool OnDisconnect();
  void CheckReconnect() EXCLUDES(m_csSetting, m_csMessageQueue);
  void OnConnectionLost() EXCLUDES(m_csSetting, m_csMessageQueue);
  void ReportStatusChange(E_METADATA_STATUS eOldStatus);
  bool QueueMessage(E_METADATA_MSG eMsg, bool bSync, uint64_t* pullStops = nullptr)
      EXCLUDES(m_csSetting, m_csMessageQueue);
  void PushMessageLocked(E_METADATA_MSG eMsg, SysUtils::AprCond* pEvent) REQUIRES(m_csMessageQueue);
  void ForbidReconnect() EXCLUDES(m_csMessageQueue);
  void AllowReconnectLocked() REQUIRES(m_csMessageQueue);
  void WakeIdleWorkerLocked() REQUIRES(m_csMessageQueue);
  void WithdrawQueuedMessages() EXCLUDES(m_csMessageQueue);
  void RunPass() EXCLUDES(m_csMessageQueue);
  bool TakeMessageLocked(CMetadataMessage& msg) REQUIRES(m_csMessageQueue);
  void CarryOut(CMetadataMessage& msg) EXCLUDES(m_csMessageQueue);
  bool SettleIdle() EXCLUDES(m_csMessageQueue);
  void RaiseEvent(unsigned int uiEventID) EXCLUDES(m_csShared);

  bool FindMetadataChannel(unsigned long long ullID, std::vector<CMetadataChannel>& vChildChannel,
                           CMetadataChannel& MetadataChannel);
  bool FindAndSetChannelPluginID(unsigned long long ullID, std::vector<CMetadataChannel>& vChildChannel,
                                 const std::string& strPluginID);
  bool FindAndSetChannelEnable(unsigned long long ullID, std::vector<CMetadataChannel>& vChildChannel,
                               bool bEnable);
  bool GetDefaultChannelConfig(const std::string& strPluginID,
                               std::vector<T_METADATA_CONFIG>& vPropertySetting);

  // The tree search behind every lookup by channel identifier: pre-order
  // over vList and each channel's children; the first match, or null.
  static CMetadataChannel* FindChannelInTree(unsigned long long ullID, std::vector<CMetadataChannel>& vList);
  // The list that ullParentID names: the device's channels, or the children
  // of the channel that the tree search finds; null when neither.
  std::vector<CMetadataChannel>* FindParentList(unsigned long long ullParentID) REQUIRES(m_csSetting);
  // Position of the first channel of vList itself (children not searched)
  // that carries ullChID; vList.size() when none does.
  static size_t FindDirectChannel(const std::vector<CMetadataChannel>& vList, unsigned long long ullChID);
  // The templates of a channel kind; null for a kind that has none.
  const std::vector<CMetadataProperty*>* FindChannelTemplates(const std::string& strPluginID) const;
  bool GenerateControlItem(T_PROPERTY_UI_INFO* pItem, CMetadataProperty* pProperty);
  void GenerateControlItems(T_PROPERTY_UI_INFO* pItems, const std::vector<CMetadataProperty*>& vProperties);
  const T_SUPPORT_EVENT* FindSupportEvent(const T_PLUGIN_ID* pPluginID) const;

  const T_PARENT_CHILD_MAP_ITEM* FindRelation(const T_PLUGIN_ID* pPluginID) const;

  CMetadataMessageQueue m_MessageQueue GUARDED_BY(m_csMessageQueue);
  SysUtils::CriticalSection m_csMessageQueue ACQUIRED_AFTER(m_csSetting);
  // When reconnection was last allowed, on the timing's clock.
  uint64_t m_ullLastReconnect GUARDED_BY(m_csMessageQueue);
  // Called by the host on one thread, never concurrently (Initialize,
  // Uninitialize).
  bool m_bInitialized;
  bool m_bReconnect GUARDED_BY(m_csMessageQueue);
  // A disconnect for a lost connection is queued and not yet carried out.
  bool m_bLossDisconnectPending GUARDED_BY(m_csMessageQueue);
  // The worker waits without limit and must be woken for new work.
  bool m_bWorkerIdle GUARDED_BY(m_csMessageQueue);
  // Host Disconnects and Uninitializes so far.
  uint64_t m_ullHostStops GUARDED_BY(m_csMessageQueue);
  // Written and read by host threads only.
  std::atomic<bool> m_bEnable;
  // Guards the two callback pairs and the last error text.
  mutable SysUtils::CriticalSection m_csShared;
  // Set before Initialize and fixed while the worker runs.
  std::shared_ptr<const SysUtils::Timing> m_pTiming;

  // What the host holds of the model's lists. Whatever the host never gave
  // back is freed with the model.
  CHandedOutArrays<T_PROPERTY_UI_INFO> m_SourcePropertyLists GUARDED_BY(m_csSetting);
  CHandedOutArrays<T_CAHNNEL_PROPERTY> m_ChannelPropertyLists GUARDED_BY(m_csSetting);
  CHandedOutArrays<T_PLUGIN_FILTER_PROFILE> m_FilterProfileSets GUARDED_BY(m_csSetting);
};
