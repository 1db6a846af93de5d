#include "MetadataModelVantix/MetadataModelVantix.h"

#include <cstring>
#include <memory>
#include <new>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelVantix/VantixRecord.h"
#include "utility/sysutils/apr/apr_root.h"

namespace {

const char kDevicePluginID[] = "ID_VANTIX";
const char kChannelPluginID[] = "ID_VANTIX_CH";
const char kPluginVersion[] = "2.0.0.5";
const char kVantix[] = "Vantix";
const unsigned int kMaxChannels = 1024;
const unsigned int kMinChannels = 1;
const unsigned int kTransactionTimeout = 10;
// Declared for the channel kind; the model never raises them.
const unsigned int kChannelEventReserved1 = 3902;
const unsigned int kChannelEventReserved2 = 3903;

const char kServerIPPropertyID[] = "ModelVantixIP";
const char kServerPortPropertyID[] = "ModelVantixServerPort";
const char kChannelPropertyID[] = "ModelVantixCH";
// The longest host name that name resolution accepts.
const unsigned int kServerHostMaxLength = 253;
const long long kServerPortStep = 1;
const long long kDefaultServerPort = 7000;
const long long kMaxCameraID = 512;

// Appends a new item of kind Property to vItems, which owns it from then on,
// and returns it for setting up; the holder only covers a failing append.
template <typename Property>
Property* AppendProperty(std::vector<CMetadataProperty*>& vItems) {
  std::unique_ptr<Property> pProperty(new Property());
  vItems.push_back(pProperty.get());
  return pProperty.release();
}

// A comparison of known length, which the compiler does in place: it runs
// once for every channel of every record.
bool IsCameraProperty(const std::string& strPropertyID) {
  const size_t length = sizeof(kChannelPropertyID) - 1;
  return strPropertyID.size() == length && memcmp(strPropertyID.data(), kChannelPropertyID, length) == 0;
}

// The value of the channel's last "ModelVantixCH" pair, or null when it has
// none. Read in place: distribution needs one value, not the whole list.
const std::string* FindCameraValue(const CMetadataChannel& channel) {
  const std::vector<T_METADATA_CONFIG>& vConfig = channel.ChannelConfig();
  for (auto it = vConfig.rbegin(); it != vConfig.rend(); ++it) {
    if (IsCameraProperty(it->strPropertyID)) return &it->strValue;
  }
  return nullptr;
}

}  // namespace

CMetadataModelVantix::CMetadataModelVantix()
    : m_strServerIP(CVantixReceiver::kDefaultServerHost), m_usServerPort(0) {
  // Called directly, not through the virtual slots: every descriptive query
  // answers as soon as construction ends.
  CMetadataModelVantix::InitDeviceInfo();
  CMetadataModelVantix::InitCategoryType();
  CMetadataModelVantix::InitChannelInfo();
  CMetadataModelVantix::InitChannelRelation();
  CMetadataModelVantix::InitFilterProfile();
  CMetadataModelVantix::InitPropertyItem();
  CMetadataModelVantix::InitSupportEventList();
}

CMetadataModelVantix::~CMetadataModelVantix() {
  // A host that skipped Uninitialize must not leave the worker running on a
  // half-destroyed model.
  UninitializeOnRelease();
}

bool CMetadataModelVantix::InitDeviceInfo() {
  CopyText(m_DeviceInfo.sPluginID, kDevicePluginID);
  CopyText(m_DeviceInfo.sPluginVersion, kPluginVersion);
  CopyText(m_DeviceInfo.sPluginName, kVantix);
  CopyText(m_DeviceInfo.sPluginInfo, kVantix);
  CopyText(m_DeviceInfo.sPluginVendor, kVantix);
  CopyText(m_DeviceInfo.sPluginModel, kVantix);
  CopyText(m_DeviceInfo.sPluginManufacture, kVantix);
  CopyText(m_DeviceInfo.sDeviceName, kVantix);
  CopyText(m_DeviceInfo.sDeviceInfo, kVantix);
  return true;
}

bool CMetadataModelVantix::InitCategoryType() {
  m_eCategory = eMETADATA_CATEGORY_KOVANT;
  return true;
}

bool CMetadataModelVantix::InitChannelInfo() {
  T_CHANNEL_INFO info;
  info.strChPluginID = kChannelPluginID;
  m_vChannelInfo.push_back(info);
  return true;
}

bool CMetadataModelVantix::InitChannelRelation() {
  T_PARENT_CHILD_MAP_ITEM item;
  item.strPluginID = kChannelPluginID;
  item.strName = kVantix;
  item.strInfo = kVantix;
  item.uiMaxNumber = kMaxChannels;
  item.uiMinNumber = kMinChannels;
  m_vParentChildMapList.push_back(item);
  return true;
}

bool CMetadataModelVantix::InitFilterProfile() {
  T_CHANNEL_PROFILE profile;
  profile.strChPluginID = kChannelPluginID;
  profile.eLangType = eLang_UTF8;
  profile.uiTransactionTimeout = kTransactionTimeout;
  m_vFilterProfile.push_back(profile);
  return true;
}

bool CMetadataModelVantix::InitSupportEventList() {
  T_SUPPORT_EVENT event;
  event.strPluginID = kDevicePluginID;
  event.vEventID = {kEventConnectionLost, kEventConnectionMade};
  m_vSupportEvent.push_back(event);
  event.strPluginID = kChannelPluginID;
  event.vEventID = {kChannelEventReserved1, kChannelEventReserved2};
  m_vSupportEvent.push_back(event);
  return true;
}

// --- Server settings -----------------------------------------------------------

bool CMetadataModelVantix::InitPropertyItem() {
  CPropServerHost* pServerIP = AppendProperty<CPropServerHost>(m_vSourceProperty);
  pServerIP->SetPropertyID(kServerIPPropertyID);
  pServerIP->SetCaption("Server IP");
  pServerIP->SetInputMode(eAny);
  pServerIP->SetMaxLength(kServerHostMaxLength);
  pServerIP->SetText(CVantixReceiver::kDefaultServerHost);

  CPropServerPort* pServerPort = AppendProperty<CPropServerPort>(m_vSourceProperty);
  pServerPort->SetPropertyID(kServerPortPropertyID);
  pServerPort->SetCaption("Server Port");
  pServerPort->SetMinimum(CPropServerPort::kPortMinimum);
  pServerPort->SetMaximum(CPropServerPort::kPortMaximum);
  pServerPort->SetSingleStep(kServerPortStep);
  pServerPort->SetValue(kDefaultServerPort);

  CPropertySpinBox* pChannel = AppendProperty<CPropertySpinBox>(m_mapChProperty[kChannelPluginID]);
  pChannel->SetPropertyID(kChannelPropertyID);
  pChannel->SetCaption("Channel ID");
  pChannel->SetMinimum(0);
  pChannel->SetMaximum(kMaxCameraID);
  pChannel->SetValue(0);
  return true;
}

bool CMetadataModelVantix::UpdateConfig() {
  for (CMetadataProperty* pProperty : m_vSourceProperty) {
    const std::string strID = pProperty->GetPropertyID();
    if (strID == kServerIPPropertyID) {
      CPropServerHost* pHost = dynamic_cast<CPropServerHost*>(pProperty);
      if (pHost == nullptr) return false;
      m_strServerIP = pHost->GetText();
    } else if (strID == kServerPortPropertyID) {
      CPropServerPort* pPort = dynamic_cast<CPropServerPort*>(pProperty);
      if (pPort == nullptr) return false;
      m_usServerPort = static_cast<unsigned short>(pPort->GetValue() & 0xFFFF);
    }
  }
  return true;
}
// --- Connection and distribution ---------------------------------------------

bool CMetadataModelVantix::ConnectModel() {
  if (!m_pReceiver) return false;
  bool bUpdated;
  {
    SysUtils::CriticalSectionLock lock(&m_csSetting);
    bUpdated = UpdateConfig();
  }
  if (!bUpdated) return false;
  // Without the settings lock: a slow connection attempt must not hold up the
  // host's configuration calls.
  const int iStatus = m_pReceiver->Connect(m_strServerIP, m_usServerPort);
  if (iStatus != 0) {
    SetLastErrorMessage(iStatus);
    return false;
  }
  return true;
}

bool CMetadataModelVantix::DisconnectModel() {
  if (!m_pReceiver) return false;
  m_pReceiver->Disconnect();
  return true;
}

void CMetadataModelVantix::SetLastErrorMessage(int iErrorCode) {
  SetLastErrorText(ConnectionErrorText(iErrorCode));
}

void CMetadataModelVantix::DistributeMetadata(const char* sMetadata, int /*iMetadataLen*/) {
  fnPluginCallback fnCallback;
  void* pUserData;
  GetMetadataCallback(fnCallback, pUserData);
  if (fnCallback == nullptr || pUserData == nullptr || sMetadata == nullptr) return;

  const std::string strRecord(sMetadata);
  const std::string strCamera = CutCameraID(strRecord);
  std::vector<unsigned long long> vChannelIDs;
  {
    SysUtils::CriticalSectionLock lock(&m_csSetting);
    for (const CMetadataChannel& channel : m_vChannels) {
      if (!channel.IsEnabled()) continue;
      const std::string* pCamera = FindCameraValue(channel);
      const bool bMatches = pCamera != nullptr ? *pCamera == strCamera : strCamera.empty();
      if (bMatches) vChannelIDs.push_back(channel.GetChannelDeviceID());
    }
  }
  if (vChannelIDs.empty()) return;

  // The host's text depends only on the record: built once for every channel.
  const std::string strText = RewriteRecord(strRecord);
  for (unsigned long long ullChannelID : vChannelIDs) {
    GetMetadataCallback(fnCallback, pUserData);
    if (fnCallback == nullptr || pUserData == nullptr) return;
    fnCallback(m_ullID, ullChannelID, strText.c_str(), static_cast<int>(strText.size()), pUserData);
  }
}

// --- Receiver lifecycle ------------------------------------------------------------

bool CMetadataModelVantix::InitialModel() {
  m_pReceiver.reset(new (std::nothrow) CVantixReceiver(Timing()));
  if (!m_pReceiver) return false;
  m_pReceiver->RegisterMetadataCallbackFunc(&CMetadataModelBase1::DataCallback,
                                            static_cast<CMetadataModelBase1*>(this));
  return true;
}

// The reading thread has already been stopped by the disconnection that
// Uninitialize performs first.
bool CMetadataModelVantix::UninitialModel() {
  m_pReceiver.reset();
  return true;
}

// --- Entry points --------------------------------------------------------------

extern "C" IPluginModel1* CreatePluginModel() {
  // Null rather than an allocation failure: no exception may cross into the host.
  try {
    std::unique_ptr<CMetadataModelVantix> pModel(new CMetadataModelVantix());
    SysUtils::AprRoot::instance()->trackObject(static_cast<IPluginModel1*>(pModel.get()));
    return pModel.release();
  } catch (...) {
    return nullptr;
  }
}

extern "C" bool ReleasePluginModel(IPluginModel1* pModel) {
  if (pModel == nullptr) return false;
  // Only a live model handed out here is destroyed: a stray or repeated
  // release from the host must not free what is not a model.
  if (!SysUtils::AprRoot::instance()->untrackObject(pModel)) return false;
  delete pModel;
  return true;
}
