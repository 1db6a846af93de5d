// The model base: construction, lifecycle, descriptive queries, and the
// worker loop that carries out connect and disconnect requests.

#include "MetadataModelBase/PluginModelBase.h"

#include <cstring>
#include <memory>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/MetadataAssert.h"
#include "utility/sysutils/apr/apr_cond.h"

namespace {

const char kConnectionRestoreMarker[] = "##CONNECTION_RESTORE##";

void DeleteProperties(std::vector<CMetadataProperty*>& vProperties) {
  for (CMetadataProperty*& pSlot : vProperties) {
    CMetadataProperty* pProperty = pSlot;
    pSlot = nullptr;
    delete pProperty;
  }
}

}  // namespace

CMetadataModelBase1::CMetadataModelBase1()
    : m_eCategory(eMETADATA_CATEGORY_UNDEFINE),
      m_ullID(0),
      m_eStatus(eMETADATA_STATUS_DISCONNECT),
      m_fnPluginCallbackFunc(nullptr),
      m_pPluginCallbackData(nullptr),
      m_fnEventCallbackFunc(nullptr),
      m_pEventCallbackData(nullptr),
      m_ullLastReconnect(0),
      m_bInitialized(false),
      m_bReconnect(false),
      m_bLossDisconnectPending(false),
      m_bWorkerIdle(false),
      m_ullHostStops(0),
      m_bEnable(false),
      m_pTiming(SysUtils::ProductTiming()) {
  memset(&m_DeviceInfo, 0, sizeof(m_DeviceInfo));
}

CMetadataModelBase1::~CMetadataModelBase1() {
  DeleteProperties(m_vSourceProperty);
  for (auto& kind : m_mapChProperty) DeleteProperties(kind.second);
}

// --- Lifecycle ---------------------------------------------------------------

bool CMetadataModelBase1::Initialize() {
  if (m_bInitialized) {
    METADATA_ASSERT_FAIL(METADATA_SRC_PLUGIN_MODEL_BASE);
    return true;
  }
  if (!InitialModel()) return false;
  if (!CreateThread()) {
    // Leave nothing half made: the host may simply call Initialize again.
    UninitialModel();
    return false;
  }
  m_bInitialized = true;
  return true;
}

bool CMetadataModelBase1::Uninitialize() {
  if (!m_bInitialized) {
    METADATA_ASSERT_FAIL(METADATA_SRC_PLUGIN_MODEL_BASE);
    return true;
  }
  // Whatever the model was doing, it does nothing more until the host's next
  // Connect: no retry, and no Connect of another host thread re-arms it.
  ForbidReconnect();
  if (m_eStatus != eMETADATA_STATUS_DISCONNECT) Disconnect(true);
  // CallWorker fails only when no worker runs, for instance because an
  // earlier Uninitialize stopped it and then failed in UninitialModel; there
  // is nothing to stop then, and the rest of the sequence must still run.
  CallWorker(ePLUGIN_TC_STOP, nullptr);
  if (!CloseThread()) return false;
  // A connect queued before the stop may have been carried out after the
  // disconnect above; the worker is gone now, so close it down here rather
  // than leave the receiver running on a model about to lose it.
  if (m_eStatus != eMETADATA_STATUS_DISCONNECT) {
    const E_METADATA_STATUS eOldStatus = m_eStatus;
    OnDisconnect();
    ReportStatusChange(eOldStatus);
  }
  WithdrawQueuedMessages();
  if (!UninitialModel()) return false;
  m_bInitialized = false;
  return true;
}

void CMetadataModelBase1::UninitializeOnRelease() {
  if (m_bInitialized) Uninitialize();
}

// --- Descriptive queries -----------------------------------------------------

bool CMetadataModelBase1::GetPluginDeviceInfo(T_PLUGIN_DEVICE_INFO* pInfo) const {
  if (pInfo == nullptr) return false;
  memcpy(pInfo, &m_DeviceInfo, sizeof(m_DeviceInfo));
  return true;
}

bool CMetadataModelBase1::GetCategoryType(E_PLUGIN_CATEGORY* peType) const {
  if (peType == nullptr) return false;
  *peType = m_eCategory;
  return true;
}

bool CMetadataModelBase1::GetSupportChannelPluginIDSize(unsigned int* puiSize) const {
  if (puiSize == nullptr) return false;
  *puiSize = static_cast<unsigned int>(m_vChannelInfo.size());
  return true;
}

bool CMetadataModelBase1::GetSupportChannelPluginID(T_PLUGIN_ID* pChannelPlguinID,
                                                    unsigned int uiSize) const {
  if (pChannelPlguinID == nullptr) return uiSize == 0;
  CopyToHostArray(m_vChannelInfo, pChannelPlguinID, uiSize, [](const T_CHANNEL_INFO& info, T_PLUGIN_ID& out) {
    CopyText(out.sPluginID, info.strChPluginID);
  });
  return true;
}

bool CMetadataModelBase1::GetChannelRelationSize(unsigned int* puiSize) const {
  if (puiSize == nullptr) return false;
  *puiSize = static_cast<unsigned int>(m_vParentChildMapList.size());
  return true;
}

bool CMetadataModelBase1::GetChannelRelation(T_PLUGIN_PARENT_CHILD_MAP_ITEM* pParentChildMapList,
                                             unsigned int uiSize) const {
  if (pParentChildMapList == nullptr) return uiSize == 0;
  CopyToHostArray(m_vParentChildMapList, pParentChildMapList, uiSize,
                  [](const T_PARENT_CHILD_MAP_ITEM& item, T_PLUGIN_PARENT_CHILD_MAP_ITEM& out) {
                    CopyText(out.sPluginID, item.strPluginID);
                    CopyText(out.sChannelName, item.strName);
                    CopyText(out.sChannelInfo, item.strInfo);
                    out.uiMaxNumber = item.uiMaxNumber;
                    out.uiMinNumber = item.uiMinNumber;
                  });
  return true;
}

const T_PARENT_CHILD_MAP_ITEM* CMetadataModelBase1::FindRelation(const T_PLUGIN_ID* pPluginID) const {
  const std::string strPluginID = ReadText(pPluginID->sPluginID);
  for (const T_PARENT_CHILD_MAP_ITEM& item : m_vParentChildMapList) {
    if (item.strPluginID == strPluginID) return &item;
  }
  return nullptr;
}

bool CMetadataModelBase1::GetSupportChildPluginIDSize(const T_PLUGIN_ID* pChannelPlguinID,
                                                      unsigned int* puiSize) const {
  if (pChannelPlguinID == nullptr || puiSize == nullptr) return false;
  *puiSize = 0;
  if (const T_PARENT_CHILD_MAP_ITEM* pItem = FindRelation(pChannelPlguinID)) {
    *puiSize = static_cast<unsigned int>(pItem->vChildPluginID.size());
  }
  return true;
}

bool CMetadataModelBase1::GetSupportChildPluginID(const T_PLUGIN_ID* pChannelPlguinID,
                                                  T_PLUGIN_ID* pChildPlguinID, unsigned int uiSize) const {
  if (pChannelPlguinID == nullptr) return false;
  const T_PARENT_CHILD_MAP_ITEM* pItem = FindRelation(pChannelPlguinID);
  if (pItem == nullptr) return false;
  if (pChildPlguinID == nullptr) return uiSize == 0;
  CopyToHostArray(pItem->vChildPluginID, pChildPlguinID, uiSize,
                  [](const std::string& strChild, T_PLUGIN_ID& out) { CopyText(out.sPluginID, strChild); });
  return true;
}

bool CMetadataModelBase1::GetDeviceID(unsigned long long* pullID) const {
  if (pullID == nullptr) return false;
  *pullID = m_ullID;
  return true;
}

bool CMetadataModelBase1::SetDeviceID(unsigned long long ullID) {
  m_ullID = ullID;
  return true;
}

bool CMetadataModelBase1::IsDeviceEnable(bool* pbEnable) {
  if (pbEnable == nullptr) return false;
  *pbEnable = m_bEnable;
  return true;
}

bool CMetadataModelBase1::SetDeviceEnable(bool bEnable) {
  m_bEnable = bEnable;
  return true;
}

bool CMetadataModelBase1::GetStatus(E_METADATA_STATUS* pStatus) const {
  if (pStatus == nullptr) return false;
  *pStatus = m_eStatus;
  return true;
}

bool CMetadataModelBase1::GetLastErrorMessage(T_PLUGIN_ERROR_MESSAGE* pErrorMsg) const {
  if (pErrorMsg == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csShared);
  CopyText(pErrorMsg->sErrorMsg, m_strLastErrorMessage);
  return true;
}

void CMetadataModelBase1::SetLastErrorText(const std::string& strText) {
  SysUtils::CriticalSectionLock lock(&m_csShared);
  m_strLastErrorMessage = strText;
}

// --- Callbacks ---------------------------------------------------------------

bool CMetadataModelBase1::RegisterMetadataCallbackFunc(fnPluginCallback fn, void* pData) {
  SysUtils::CriticalSectionLock lock(&m_csShared);
  m_fnPluginCallbackFunc = fn;
  m_pPluginCallbackData = pData;
  return true;
}

bool CMetadataModelBase1::RegisterEventCallbackFunc(fnPluginEventCallback fn, void* pData) {
  SysUtils::CriticalSectionLock lock(&m_csShared);
  m_fnEventCallbackFunc = fn;
  m_pEventCallbackData = pData;
  return true;
}

void CMetadataModelBase1::GetMetadataCallback(fnPluginCallback& fn, void*& pData) const {
  SysUtils::CriticalSectionLock lock(&m_csShared);
  fn = m_fnPluginCallbackFunc;
  pData = m_pPluginCallbackData;
}

void CMetadataModelBase1::RaiseEvent(unsigned int uiEventID) {
  fnPluginEventCallback fn;
  void* pData;
  {
    SysUtils::CriticalSectionLock lock(&m_csShared);
    fn = m_fnEventCallbackFunc;
    pData = m_pEventCallbackData;
  }
  if (fn != nullptr) fn(m_ullID, uiEventID, pData);
}

void CMetadataModelBase1::DataCallback(const char* sMetadata, int iMetadataLen, void* pData) {
  if (pData == nullptr) {
    METADATA_ASSERT_FAIL(METADATA_SRC_PLUGIN_MODEL_BASE);
    return;
  }
  if (sMetadata == nullptr) return;
  CMetadataModelBase1* pModel = static_cast<CMetadataModelBase1*>(pData);
  if (strcmp(sMetadata, kConnectionLostMarker) == 0) {
    pModel->OnConnectionLost();
    return;
  }
  pModel->DistributeMetadata(sMetadata, iMetadataLen);
}

void CMetadataModelBase1::EventCallback(const char* strMetadata, int /*iMetadataLen*/, void* pData) {
  if (pData == nullptr || strMetadata == nullptr) return;
  CMetadataModelBase1* pModel = static_cast<CMetadataModelBase1*>(pData);
  if (strcmp(strMetadata, kConnectionLostMarker) == 0) {
    pModel->RaiseEvent(kEventConnectionLost);
  } else if (strcmp(strMetadata, kConnectionRestoreMarker) == 0) {
    pModel->RaiseEvent(kEventConnectionMade);
  }
}

// --- Connection control --------------------------------------------------------
//
// Every decision about reconnection is taken under m_csMessageQueue, together
// with the queueing it goes with: the host's Connect and Disconnect, the loss
// road and the worker's own retry. Whichever of two racing threads takes the
// lock last has the last word.

void CMetadataModelBase1::SetReconnect(bool bReconnect) {
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  if (bReconnect) {
    AllowReconnectLocked();
  } else {
    m_bReconnect = false;
  }
}

// Stamps before it allows, so that the worker never sees the permission with
// an old stamp.
void CMetadataModelBase1::AllowReconnectLocked() {
  m_ullLastReconnect = static_cast<uint64_t>(m_pTiming->NowMS());
  m_bReconnect = true;
  WakeIdleWorkerLocked();
}

// The host's last word wins: reconnection is allowed after the wait only when
// no host Disconnect or Uninitialize came since the connect was queued.
bool CMetadataModelBase1::Connect(bool bSync) {
  uint64_t ullStopsBefore = 0;
  const bool bHandled = QueueMessage(eMETADATA_MSG_CONNECT, bSync, &ullStopsBefore);
  const bool bResult = bSync ? bHandled && m_eStatus == eMETADATA_STATUS_CONNECTED : true;
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  if (m_ullHostStops == ullStopsBefore) AllowReconnectLocked();
  return bResult;
}

bool CMetadataModelBase1::Disconnect(bool bSync) {
  ForbidReconnect();
  const bool bHandled = QueueMessage(eMETADATA_MSG_DISCONNECT, bSync);
  return bSync ? bHandled && m_eStatus == eMETADATA_STATUS_DISCONNECT : true;
}

void CMetadataModelBase1::ForbidReconnect() {
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  ++m_ullHostStops;
  m_bReconnect = false;
}

// Queues a message; with bSync, waits until the worker has carried it out.
// Returns false only when a synchronous caller found no worker to answer: the
// message then stays queued, without its event, for a worker started later.
// *pullStops, when asked for, is the count of host stops when the message was
// queued.
bool CMetadataModelBase1::QueueMessage(E_METADATA_MSG eMsg, bool bSync, uint64_t* pullStops) {
  std::unique_ptr<SysUtils::AprCond> pEvent(bSync ? new SysUtils::AprCond(false) : nullptr);
  {
    SysUtils::CriticalSectionLock settingLock(&m_csSetting);
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    PushMessageLocked(eMsg, pEvent.get());
    if (pullStops != nullptr) *pullStops = m_ullHostStops;
  }
  if (!pEvent || WaitWhileRunning(*pEvent)) return true;
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  for (CMetadataMessage& msg : m_MessageQueue) msg.WithdrawEvent(pEvent.get());
  return false;
}

void CMetadataModelBase1::PushMessageLocked(E_METADATA_MSG eMsg, SysUtils::AprCond* pEvent) {
  m_MessageQueue.PushMessage(eMsg, nullptr, pEvent);
  WakeIdleWorkerLocked();
}

// Only a worker that waits without limit needs waking: any other comes back
// within its period, and a wake-up would cut its pass short.
void CMetadataModelBase1::WakeIdleWorkerLocked() {
  if (!m_bWorkerIdle) return;
  m_bWorkerIdle = false;
  WakeEvent().set();
}

// The lost connection is closed, and reconnection allowed again from now,
// unless the host has forbidden it since it last allowed it. The disconnect
// is queued without waiting: the worker's disconnect joins the thread that
// reports the loss.
void CMetadataModelBase1::OnConnectionLost() {
  SysUtils::CriticalSectionLock settingLock(&m_csSetting);
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  // One disconnect closes the connection; reports that arrive before it is
  // carried out would only queue more, one pass each, ahead of the host.
  if (m_bLossDisconnectPending) return;
  m_bLossDisconnectPending = true;
  PushMessageLocked(eMETADATA_MSG_DISCONNECT, nullptr);
  if (m_bReconnect) AllowReconnectLocked();
}

// Every message left once the worker has gone is dropped; a synchronous
// caller waiting for one is woken and finds the status as it is.
void CMetadataModelBase1::WithdrawQueuedMessages() {
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  for (CMetadataMessage& msg : m_MessageQueue) msg.MessageProcessed();
  m_MessageQueue.clear();
  m_bLossDisconnectPending = false;
}

// --- The worker ------------------------------------------------------------------

// A pass lasts one period, so that queued messages are taken one a period and
// a due reconnection is noticed within one. With nothing to do the worker
// waits without limit, until a message, a permission to reconnect or a stop
// request wakes it.
void CMetadataModelBase1::ThreadProc() {
  const SysUtils::Timing& timing = *m_pTiming;
  while (!StopRequested()) {
    RunPass();
    timing.Wait(WakeEvent(), SettleIdle() ? -1 : static_cast<int64_t>(timing.uiWorkerPeriodMS));
  }
}

void CMetadataModelBase1::RunPass() {
  CMetadataMessage msg;
  E_METADATA_STATUS eOldStatus;
  bool bHaveMessage;
  {
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    eOldStatus = m_eStatus;
    bHaveMessage = TakeMessageLocked(msg);
  }
  if (bHaveMessage) CarryOut(msg);
  ReportStatusChange(eOldStatus);
  CheckReconnect();
}

bool CMetadataModelBase1::TakeMessageLocked(CMetadataMessage& msg) {
  if (m_MessageQueue.empty()) return false;
  msg = m_MessageQueue.front();
  m_MessageQueue.erase(m_MessageQueue.begin());
  return true;
}

void CMetadataModelBase1::CarryOut(CMetadataMessage& msg) {
  switch (msg.GetMessageType()) {
    case eMETADATA_MSG_CONNECT: OnConnect(); break;
    case eMETADATA_MSG_DISCONNECT: {
      OnDisconnect();
      SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
      m_bLossDisconnectPending = false;
      break;
    }
    case eMETADATA_MSG_NOOPERATION: break;
    default: METADATA_ASSERT_FAIL(METADATA_SRC_PLUGIN_MODEL_BASE); break;
  }
  msg.MessageProcessed();
}

// Idle: no message is queued and no reconnection is due. Decided under the
// queue lock, so that whoever queues a message or allows reconnection next
// knows to wake the worker.
bool CMetadataModelBase1::SettleIdle() {
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  const bool bReconnectDue = m_bReconnect && m_eStatus == eMETADATA_STATUS_DISCONNECT;
  m_bWorkerIdle = m_MessageQueue.empty() && !bReconnectDue;
  return m_bWorkerIdle;
}

void CMetadataModelBase1::ReportStatusChange(E_METADATA_STATUS eOldStatus) {
  const E_METADATA_STATUS eNewStatus = m_eStatus;
  if (eOldStatus == eMETADATA_STATUS_DISCONNECT && eNewStatus == eMETADATA_STATUS_CONNECTED) {
    RaiseEvent(kEventConnectionMade);
  } else if (eOldStatus == eMETADATA_STATUS_CONNECTED && eNewStatus == eMETADATA_STATUS_DISCONNECT) {
    RaiseEvent(kEventConnectionLost);
  }
}

bool CMetadataModelBase1::OnConnect() {
  if (m_eStatus != eMETADATA_STATUS_DISCONNECT) return true;
  m_eStatus = eMETADATA_STATUS_CONNECTING;
  const bool bConnected = ConnectModel();
  m_eStatus = bConnected ? eMETADATA_STATUS_CONNECTED : eMETADATA_STATUS_DISCONNECT;
  return bConnected;
}

bool CMetadataModelBase1::OnDisconnect() {
  if (m_eStatus == eMETADATA_STATUS_DISCONNECT) return true;
  const bool bDisconnected = DisconnectModel();
  m_eStatus = eMETADATA_STATUS_DISCONNECT;
  return bDisconnected;
}

// The permission is read and the connect queued under the queue lock, so a
// host Disconnect either comes before the reading or is queued after the
// connect. The worker's own connect allows reconnection again at once,
// starting the next interval.
void CMetadataModelBase1::CheckReconnect() {
  SysUtils::CriticalSectionLock settingLock(&m_csSetting);
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  if (!m_bReconnect || m_eStatus != eMETADATA_STATUS_DISCONNECT) return;
  const uint64_t ullElapsed = static_cast<uint64_t>(m_pTiming->NowMS()) - m_ullLastReconnect;
  if (ullElapsed <= m_pTiming->ullReconnectIntervalMS) return;
  PushMessageLocked(eMETADATA_MSG_CONNECT, nullptr);
  AllowReconnectLocked();
}
