// The model base: construction, lifecycle, descriptive queries, and the
// worker loop that carries out connect and disconnect requests.

#include "MetadataModelBase/PluginModelBase.h"

#include <cstring>
#include <memory>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/MetadataAssert.h"
#include "utility/sysutils/apr/apr_cond.h"
#include "utility/sysutils/common/system.h"

namespace {

const char kConnectionRestoreMarker[] = "##CONNECTION_RESTORE##";
const uint32_t kDefaultWorkerPeriodMS = 100;
const uint64_t kDefaultReconnectIntervalMS = 10000;
// How often a synchronous caller checks that a worker is still there to
// answer it.
const int64_t kWorkerCheckSliceMS = 100;

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
      m_cdWake(false),
      m_ullLastReconnect(0),
      m_bInitialized(false),
      m_bReconnect(false),
      m_bLossDisconnectPending(false),
      m_bEnable(false),
      m_ullHostStops(0),
      m_uiWorkerPeriodMS(kDefaultWorkerPeriodMS),
      m_ullReconnectIntervalMS(kDefaultReconnectIntervalMS),
      m_fnNowMS(&SysUtils::GetTimeCountMS) {
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

// The lost connection is closed, and reconnection allowed again from now,
// unless the host has forbidden it since it last allowed it. Decided under
// the queue lock, under which the host's Disconnect forbids it: the host's
// disconnect then either comes first or is queued after this one, and stays
// final either way. The disconnect is queued without waiting: the worker's
// disconnect joins the thread that reports the loss.
void CMetadataModelBase1::OnConnectionLost() {
  {
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    // One disconnect closes the connection; reports that arrive before it is
    // carried out would only queue more, one pass each, ahead of the host.
    if (m_bLossDisconnectPending) return;
    m_bLossDisconnectPending = true;
    m_MessageQueue.PushMessage(eMETADATA_MSG_DISCONNECT, nullptr, nullptr);
    if (m_bReconnect) m_ullLastReconnect = static_cast<uint64_t>(m_fnNowMS.load()());
  }
  m_cdWake.set();
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

void CMetadataModelBase1::SetWorkerTiming(uint32_t uiPeriodMS, uint64_t ullReconnectIntervalMS) {
  m_uiWorkerPeriodMS = uiPeriodMS;
  m_ullReconnectIntervalMS = ullReconnectIntervalMS;
}

void CMetadataModelBase1::SetWorkerClock(fnClockMS fnNowMS) { m_fnNowMS = fnNowMS; }

void CMetadataModelBase1::SetReconnect(bool bReconnect) {
  {
    // The roads that may re-arm reconnection decide under this lock.
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    // Stamp before allowing, so the worker never sees the permission with an
    // old stamp.
    if (bReconnect) m_ullLastReconnect = static_cast<uint64_t>(m_fnNowMS.load()());
    m_bReconnect = bReconnect;
  }
  if (bReconnect) m_cdWake.set();
}

// The host's last word wins: reconnection is allowed after the wait only when
// no host Disconnect or Uninitialize came since the connect was queued.
bool CMetadataModelBase1::Connect(bool bSync) {
  uint64_t ullStopsBefore = 0;
  const bool bHandled = QueueMessage(eMETADATA_MSG_CONNECT, bSync, &ullStopsBefore);
  const bool bResult = bSync ? bHandled && m_eStatus == eMETADATA_STATUS_CONNECTED : true;
  {
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    if (m_ullHostStops == ullStopsBefore) {
      m_ullLastReconnect = static_cast<uint64_t>(m_fnNowMS.load()());
      m_bReconnect = true;
    }
  }
  m_cdWake.set();
  return bResult;
}

bool CMetadataModelBase1::Disconnect(bool bSync) {
  ForbidReconnect();
  uint64_t ullStops = 0;
  const bool bHandled = QueueMessage(eMETADATA_MSG_DISCONNECT, bSync, &ullStops);
  return bSync ? bHandled && m_eStatus == eMETADATA_STATUS_DISCONNECT : true;
}

void CMetadataModelBase1::ForbidReconnect() {
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  ++m_ullHostStops;
  m_bReconnect = false;
}

// Every message left once the worker has gone is dropped; a synchronous
// caller waiting for one is woken and finds the status as it is.
void CMetadataModelBase1::WithdrawQueuedMessages() {
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  for (CMetadataMessage& msg : m_MessageQueue) msg.MessageProcessed();
  m_MessageQueue.clear();
  m_bLossDisconnectPending = false;
}

// Queues a message; with bSync, waits until the worker has carried it out.
// Returns false only when a synchronous caller found no worker to answer: the
// message then stays queued, without its event, for a worker started later.
// *pullStops is the count of host stops when the message was queued.
bool CMetadataModelBase1::QueueMessage(E_METADATA_MSG eMsg, bool bSync, uint64_t* pullStops) {
  std::unique_ptr<SysUtils::AprCond> pEvent(bSync ? new SysUtils::AprCond(false) : nullptr);
  {
    SysUtils::CriticalSectionLock settingLock(&m_csSetting);
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    m_MessageQueue.PushMessage(eMsg, nullptr, pEvent.get());
    *pullStops = m_ullHostStops;
  }
  m_cdWake.set();
  if (!pEvent) return true;
  while (!pEvent->timedwait(kWorkerCheckSliceMS)) {
    if (ThreadExists()) continue;
    SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
    // Still queued: nobody will signal the event, so withdraw it.
    for (CMetadataMessage& msg : m_MessageQueue) {
      if (msg.WithdrawEvent(pEvent.get())) return false;
    }
    // Taken by a worker that has since ended: it signalled before it went.
  }
  return true;
}

bool CMetadataModelBase1::TakeMessage(CMetadataMessage& msg) {
  if (m_MessageQueue.empty()) return false;
  msg = m_MessageQueue.front();
  m_MessageQueue.erase(m_MessageQueue.begin());
  return true;
}

void CMetadataModelBase1::ThreadProc() {
  for (;;) {
    if (StopRequested()) return;

    CMetadataMessage msg;
    E_METADATA_STATUS eOldStatus;
    bool bHaveMessage;
    {
      SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
      eOldStatus = m_eStatus;
      bHaveMessage = TakeMessage(msg);
    }
    if (bHaveMessage) {
      switch (msg.GetMessageType()) {
        case eMETADATA_MSG_CONNECT: OnConnect(); break;
        case eMETADATA_MSG_DISCONNECT:
          OnDisconnect();
          m_bLossDisconnectPending = false;
          break;
        case eMETADATA_MSG_NOOPERATION: break;
        default: METADATA_ASSERT_FAIL(METADATA_SRC_PLUGIN_MODEL_BASE); break;
      }
      msg.MessageProcessed();
    }
    ReportStatusChange(eOldStatus);
    CheckReconnect();
    PauseAfterPass();
  }
}

// Nothing can happen before a message, a request or a permission to
// reconnect arrives: no message is queued, and no reconnection is due.
bool CMetadataModelBase1::IsIdle() {
  if (m_bReconnect && m_eStatus == eMETADATA_STATUS_DISCONNECT) return false;
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  return m_MessageQueue.empty();
}

// An idle worker sleeps until it is woken, so that a model with nothing to
// do costs no CPU time between passes. It then goes on at the point of
// the pass grid that a worker polling all along would have reached, so a
// message is taken no sooner than by polling, and queued messages are still
// taken one per pass.
void CMetadataModelBase1::PauseAfterPass() {
  const uint32_t uiPeriodMS = m_uiWorkerPeriodMS;
  if (!IsIdle()) {
    SysUtils::SleepMS(uiPeriodMS);
    return;
  }
  const int64_t llIdleSinceMS = SysUtils::GetTimeCountMS();
  m_cdWake.wait();
  if (uiPeriodMS == 0) return;
  const uint64_t ullIdleMS = static_cast<uint64_t>(SysUtils::GetTimeCountMS() - llIdleSinceMS);
  SysUtils::SleepMS(uiPeriodMS - static_cast<uint32_t>(ullIdleMS % uiPeriodMS));
}

void CMetadataModelBase1::OnRequestPosted() { m_cdWake.set(); }

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

void CMetadataModelBase1::CheckReconnect() {
  if (!m_bReconnect || m_eStatus != eMETADATA_STATUS_DISCONNECT) return;
  // The permission is read and the connect queued under the queue locks, so
  // a host Disconnect either comes before the reading or is queued after the
  // connect.
  SysUtils::CriticalSectionLock settingLock(&m_csSetting);
  SysUtils::CriticalSectionLock queueLock(&m_csMessageQueue);
  if (!m_bReconnect) return;
  const uint64_t ullElapsed = static_cast<uint64_t>(m_fnNowMS.load()()) - m_ullLastReconnect;
  if (ullElapsed > m_ullReconnectIntervalMS) Connect(false);
}
