// A small plug-in of the model interface for testing mdhost: it declares
// every kind of control, texts that need escaping, two channel kinds with a
// relation, a filter profile and events, keeps a source and channel
// configuration with refusals, and while connected emits events and three
// rounds of records to its enabled channels from a thread of its own.
// ReleasePluginModel returns false while any list it handed out has not come
// back, so a host that leaks them fails visibly.

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/IPluginModel.h"

namespace {

const char kDeviceKind[] = "FAKE_DEVICE";
const char kChannelKind[] = "FAKE_CH";
const char kSubChannelKind[] = "FAKE_SUB";
const unsigned int kEventLost = 3600;
const unsigned int kEventConnected = 3601;
const unsigned int kEventOther = 4000;
const int kRecordRounds = 3;

struct Setting {
  std::string id;
  std::string value;
};

struct Channel {
  std::string kind;
  bool enabled = true;
  std::vector<Setting> config;
};

bool ValidPort(const std::string& value) {
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 5) return false;
  const long port = strtol(value.c_str(), nullptr, 10);
  return port >= 1 && port <= 65535;
}

bool ValidSourceValue(const std::string& id, const std::string& value) {
  if (id == "FakePort") return ValidPort(value);
  if (id == "FakeMode") return value == "fast" || value == "slow";
  return true;
}

template <typename Control>
Control* NewSelection(const std::string& value, const std::vector<std::pair<std::string, std::string>>& choices) {
  Control* control = new Control();
  CopyText(control->sValue, value);
  control->uiSelectionListSize = static_cast<unsigned int>(choices.size());
  control->pSelectionList = new T_SELECTION_LIST[choices.size()]();
  for (size_t i = 0; i < choices.size(); ++i) {
    CopyText(control->pSelectionList[i].sName, choices[i].first);
    CopyText(control->pSelectionList[i].sValue, choices[i].second);
  }
  return control;
}

void FillControl(T_PROPERTY_UI_INFO* item, const std::string& id, const std::string& caption,
                 E_PLUGIN_PROPERTY_TYPE kind, void* content) {
  CopyText(item->sUID, id);
  CopyText(item->sName, caption);
  item->bEnable = true;
  item->ePropertyType = kind;
  item->pContent = content;
}

T_PROPERTY_LINEEDIT* NewLineEdit(const std::string& value) {
  T_PROPERTY_LINEEDIT* edit = new T_PROPERTY_LINEEDIT();
  edit->uiMinLength = 0;
  edit->uiMaxLength = 64;
  CopyText(edit->sValue, value);
  edit->eInputMode = eAny;
  edit->eEncodeMode = eNormal;
  return edit;
}

void FreeContent(T_PROPERTY_UI_INFO* item) {
  switch (item->ePropertyType) {
    case ePluginProperty_CheckBox: delete static_cast<T_PROPERTY_CHECKBOX*>(item->pContent); break;
    case ePluginProperty_LineEdit: delete static_cast<T_PROPERTY_LINEEDIT*>(item->pContent); break;
    case ePluginProperty_ComboBox: {
      auto* combo = static_cast<T_PROPERTY_COMBOBOX*>(item->pContent);
      delete[] combo->pSelectionList;
      delete combo;
      break;
    }
    case ePluginProperty_Radio: {
      auto* radio = static_cast<T_PROPERTY_RADIO*>(item->pContent);
      delete[] radio->pSelectionList;
      delete radio;
      break;
    }
    case ePluginProperty_Slider: delete static_cast<T_PROPERTY_SLIDER*>(item->pContent); break;
    case ePluginProperty_SpinBox: delete static_cast<T_PROPERTY_SPINBOX*>(item->pContent); break;
    default: break;
  }
  item->pContent = nullptr;
}

class FakeModel : public IPluginModel2 {
 public:
  FakeModel()
      : m_source({{"FakeHost", "localhost"},
                  {"FakePort", "7000"},
                  {"FakeMode", "fast"},
                  {"FakeVerbose", "false"},
                  {"FakeLevel", "3"},
                  {"FakeSide", "left"},
                  {"FakeFailUninitialize", "false"}}) {}
  ~FakeModel() override { StopWorker(); }

  int Outstanding() const { return m_outstanding; }

  bool Initialize() override { return true; }
  bool Uninitialize() override {
    StopWorker();
    return SourceValue("FakeFailUninitialize") != "true";
  }

  bool GetPluginDeviceInfo(T_PLUGIN_DEVICE_INFO* pInfo) const override {
    CopyText(pInfo->sPluginID, kDeviceKind);
    CopyText(pInfo->sPluginVersion, "1.0");
    CopyText(pInfo->sPluginName, "Fake \"quoted\" \\ name");
    CopyText(pInfo->sPluginInfo, "tab\there\x01 and \xE9 latin");
    CopyText(pInfo->sPluginVendor, "Vendor \xE2\x9C\x93");
    CopyText(pInfo->sPluginModel, "Model");
    CopyText(pInfo->sPluginManufacture, "Maker");
    CopyText(pInfo->sDeviceName, "Device");
    CopyText(pInfo->sDeviceInfo, "Device info");
    return true;
  }
  bool GetCategoryType(E_PLUGIN_CATEGORY* peType) const override {
    *peType = static_cast<E_PLUGIN_CATEGORY>(eMETADATA_CATEGORY_POS | eMETADATA_CATEGORY_IVS);
    return true;
  }
  bool GetSupportChannelPluginIDSize(unsigned int* puiSize) const override {
    *puiSize = 2;
    return true;
  }
  bool GetSupportChannelPluginID(T_PLUGIN_ID* pIds, unsigned int uiSize) const override {
    const char* const kinds[] = {kChannelKind, kSubChannelKind};
    for (unsigned int i = 0; i < uiSize && i < 2; ++i) CopyText(pIds[i].sPluginID, kinds[i]);
    return true;
  }
  bool GetChannelRelationSize(unsigned int* puiSize) const override {
    *puiSize = 2;
    return true;
  }
  bool GetChannelRelation(T_PLUGIN_PARENT_CHILD_MAP_ITEM* pList, unsigned int uiSize) const override {
    const char* const kinds[] = {kChannelKind, kSubChannelKind};
    for (unsigned int i = 0; i < uiSize && i < 2; ++i) {
      CopyText(pList[i].sPluginID, kinds[i]);
      CopyText(pList[i].sChannelName, i == 0 ? "Camera" : "Zone");
      CopyText(pList[i].sChannelInfo, "info");
      pList[i].uiMaxNumber = i == 0 ? 4 : 2;
      pList[i].uiMinNumber = 0;
    }
    return true;
  }
  bool GetSupportChildPluginIDSize(const T_PLUGIN_ID* pId, unsigned int* puiSize) const override {
    *puiSize = ReadText(pId->sPluginID) == kChannelKind ? 1 : 0;
    return true;
  }
  bool GetSupportChildPluginID(const T_PLUGIN_ID* pId, T_PLUGIN_ID* pChildren, unsigned int uiSize) const override {
    if (ReadText(pId->sPluginID) == kChannelKind && uiSize >= 1) CopyText(pChildren[0].sPluginID, kSubChannelKind);
    return true;
  }
  bool GetDeviceID(unsigned long long* pullID) const override {
    *pullID = m_deviceId;
    return true;
  }
  bool SetDeviceID(unsigned long long ullID) override {
    m_deviceId = ullID;
    return true;
  }
  bool IsDeviceEnable(bool* pbEnable) override {
    *pbEnable = true;
    return true;
  }

  bool Connect(bool) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_worker.joinable()) return true;
    m_stop = false;
    m_connected = true;
    m_worker = std::thread([this] { Work(); });
    return true;
  }
  bool Disconnect(bool) override {
    StopWorker();
    return true;
  }
  bool GetStatus(E_METADATA_STATUS* pStatus) const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    *pStatus = m_connected ? eMETADATA_STATUS_CONNECTED : eMETADATA_STATUS_DISCONNECT;
    return true;
  }

  bool GetChannelCount(unsigned long long, unsigned int* puiCount) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    *puiCount = static_cast<unsigned int>(m_channels.size());
    return true;
  }
  bool GetChannelIndex(unsigned long long, unsigned long long, unsigned int*) override { return false; }
  bool GetChannelID(unsigned long long, unsigned int, unsigned long long*) override { return false; }
  bool SetChannelID(unsigned long long, unsigned int, unsigned long long) override { return false; }
  bool GetChannelPluginID(unsigned long long, T_PLUGIN_ID*) override { return false; }
  bool SetChannelPluginID(unsigned long long, const T_PLUGIN_ID*) override { return false; }
  bool IsChannelEnable(unsigned long long ullChID, bool* pbEnable) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto channel = m_channels.find(ullChID);
    if (channel == m_channels.end()) return false;
    *pbEnable = channel->second.enabled;
    return true;
  }
  bool SetChannelEnable(unsigned long long ullChID, bool bEnable) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto channel = m_channels.find(ullChID);
    if (channel == m_channels.end()) return false;
    channel->second.enabled = bEnable;
    return true;
  }
  bool CanAddNewChannel(unsigned int uiNodeNum, const T_PLUGIN_ID*) override { return uiNodeNum <= 4; }
  bool AddChannel(unsigned long long ullParentID, unsigned long long ullChID, const T_PLUGIN_ID* pKind) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ullParentID != m_deviceId) return false;
    Channel channel;
    channel.kind = ReadText(pKind->sPluginID);
    if (channel.kind == kChannelKind) channel.config = {{"FakeCamera", ""}, {"FakeLabel", "unnamed"}};
    m_channels.emplace(ullChID, channel);
    return true;
  }
  bool DeleteChannel(unsigned long long, unsigned long long ullChID) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_channels.erase(ullChID) == 1;
  }

  bool CreateSourcePropertyList(T_PROPERTY_UI_INFO** ppItems, unsigned int* puiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    T_PROPERTY_UI_INFO* items = new T_PROPERTY_UI_INFO[7]();
    FillControl(&items[0], "FakeHost", "Host", ePluginProperty_LineEdit, NewLineEdit(SourceValueLocked("FakeHost")));
    auto* port = new T_PROPERTY_SPINBOX{strtoll(SourceValueLocked("FakePort").c_str(), nullptr, 10), 65535, 1, 1};
    FillControl(&items[1], "FakePort", "Port", ePluginProperty_SpinBox, port);
    FillControl(&items[2], "FakeMode", "Mode", ePluginProperty_ComboBox,
                NewSelection<T_PROPERTY_COMBOBOX>(SourceValueLocked("FakeMode"),
                                                  {{"fast", "Fast mode"}, {"slow", "Slow mode"}}));
    FillControl(&items[3], "FakeVerbose", "Verbose", ePluginProperty_CheckBox,
                new T_PROPERTY_CHECKBOX{SourceValueLocked("FakeVerbose") == "true"});
    FillControl(&items[4], "FakeLevel", "Level", ePluginProperty_Slider, new T_PROPERTY_SLIDER{3, 10, 0, 1, 5});
    FillControl(&items[5], "FakeSide", "Side", ePluginProperty_Radio,
                NewSelection<T_PROPERTY_RADIO>(SourceValueLocked("FakeSide"), {{"left", "Left"}, {"right", "Right"}}));
    FillControl(&items[6], "FakeFailUninitialize", "Fail Uninitialize", ePluginProperty_CheckBox,
                new T_PROPERTY_CHECKBOX{false});
    items[6].bEnable = false;
    *ppItems = items;
    *puiSize = 7;
    ++m_outstanding;
    return true;
  }
  bool ReleaseSourcePropertyList(T_PROPERTY_UI_INFO** ppList, unsigned int uiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (*ppList == nullptr) return true;
    for (unsigned int i = 0; i < uiSize; ++i) FreeContent(&(*ppList)[i]);
    delete[] * ppList;
    *ppList = nullptr;
    --m_outstanding;
    return true;
  }
  bool CreateChannelPropertyList(T_CAHNNEL_PROPERTY** ppKinds, unsigned int* puiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    T_CAHNNEL_PROPERTY* kinds = new T_CAHNNEL_PROPERTY[2]();
    CopyText(kinds[0].sPluginID, kChannelKind);
    kinds[0].uiSize = 2;
    kinds[0].pPropertyItem = new T_PROPERTY_UI_INFO[2]();
    FillControl(&kinds[0].pPropertyItem[0], "FakeCamera", "Camera", ePluginProperty_LineEdit, NewLineEdit(""));
    FillControl(&kinds[0].pPropertyItem[1], "FakeLabel", "Label", ePluginProperty_LineEdit, NewLineEdit("unnamed"));
    CopyText(kinds[1].sPluginID, kSubChannelKind);
    kinds[1].uiSize = 0;
    kinds[1].pPropertyItem = nullptr;
    *ppKinds = kinds;
    *puiSize = 2;
    ++m_outstanding;
    return true;
  }
  bool ReleaseChannelPropertyList(T_CAHNNEL_PROPERTY** ppList, unsigned int uiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (*ppList == nullptr) return true;
    for (unsigned int i = 0; i < uiSize; ++i) {
      for (unsigned int j = 0; j < (*ppList)[i].uiSize; ++j) FreeContent(&(*ppList)[i].pPropertyItem[j]);
      delete[](*ppList)[i].pPropertyItem;
    }
    delete[] * ppList;
    *ppList = nullptr;
    --m_outstanding;
    return true;
  }

  bool GetSourceConfigListSize(unsigned int* puiSize) const override {
    *puiSize = static_cast<unsigned int>(m_source.size());
    return true;
  }
  bool GetSourceConfigList(T_PLUGIN_UI_CONFIG* pList, unsigned int uiSize) const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (unsigned int i = 0; i < uiSize && i < m_source.size(); ++i) {
      CopyText(pList[i].sPluginID, m_source[i].id);
      CopyText(pList[i].sValue, m_source[i].value);
    }
    return true;
  }
  bool SetSourceConfigList(const T_PLUGIN_UI_CONFIG* pList, unsigned int uiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool accepted = true;
    for (unsigned int i = 0; i < uiSize; ++i) {
      const std::string id = ReadText(pList[i].sPluginID);
      const std::string value = ReadText(pList[i].sValue);
      for (Setting& setting : m_source) {
        if (setting.id != id) continue;
        if (ValidSourceValue(id, value)) {
          setting.value = value;
        } else {
          accepted = false;
        }
      }
    }
    return accepted;
  }
  bool GetChannelConfigListSize(unsigned long long ullChID, unsigned int* puiSize) const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto channel = m_channels.find(ullChID);
    if (channel != m_channels.end()) *puiSize = static_cast<unsigned int>(channel->second.config.size());
    return true;
  }
  bool GetChannelConfigList(unsigned long long ullChID, T_PLUGIN_UI_CONFIG* pList, unsigned int uiSize) const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto channel = m_channels.find(ullChID);
    if (channel == m_channels.end()) return false;
    for (unsigned int i = 0; i < uiSize && i < channel->second.config.size(); ++i) {
      CopyText(pList[i].sPluginID, channel->second.config[i].id);
      CopyText(pList[i].sValue, channel->second.config[i].value);
    }
    return true;
  }
  // A camera named "bad" is refused and stored empty.
  bool SetChannelConfigList(unsigned long long ullChID, T_PLUGIN_UI_CONFIG* pList, unsigned int uiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto channel = m_channels.find(ullChID);
    if (channel == m_channels.end()) return true;
    bool accepted = true;
    std::vector<Setting> config;
    for (unsigned int i = 0; i < uiSize; ++i) {
      Setting setting{ReadText(pList[i].sPluginID), ReadText(pList[i].sValue)};
      if (setting.id == "FakeCamera" && setting.value == "bad") {
        setting.value.clear();
        accepted = false;
      }
      config.push_back(setting);
    }
    channel->second.config = config;
    return accepted;
  }

  bool CreateFilterProfile(T_PLUGIN_FILTER_PROFILE** ppProfiles, unsigned int* puiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    T_PLUGIN_FILTER_PROFILE* profile = new T_PLUGIN_FILTER_PROFILE[1]();
    CopyText(profile->sPluginID, kChannelKind);
    profile->eLangType = eLang_ISO_8859_1;
    profile->uiTransactionTimeout = 30;
    profile->uiFilterItemSize = 2;
    profile->pPluginFilterItem = new T_PLUGIN_FILTER_ITEM[2]();
    profile->pPluginFilterItem[0].eFilterType = eFTypeReplace;
    profile->pPluginFilterItem[0].eExpressionType = eETypeLiteral;
    CopyText(profile->pPluginFilterItem[0].sSource, "cam=");
    CopyText(profile->pPluginFilterItem[0].sTarget, "camera ");
    profile->pPluginFilterItem[1].eFilterType = eFTypeOmit;
    profile->pPluginFilterItem[1].eExpressionType = eETypeRE;
    CopyText(profile->pPluginFilterItem[1].sSource, "^#.*");
    profile->uiTagItemSize = 1;
    profile->pPluginTagItem = new T_PLUGIN_TAG_ITEM[1]();
    CopyText(profile->pPluginTagItem[0].sName, "label");
    CopyText(profile->pPluginTagItem[0].sPreTag, "label=");
    CopyText(profile->pPluginTagItem[0].sPostTag, "\r\n");
    profile->pPluginTagItem[0].eTagFormat = eTagFormatText;
    *ppProfiles = profile;
    *puiSize = 1;
    ++m_outstanding;
    return true;
  }
  bool ReleaseFilterProfile(T_PLUGIN_FILTER_PROFILE** ppProfiles, unsigned int uiSize) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (*ppProfiles == nullptr) return true;
    for (unsigned int i = 0; i < uiSize; ++i) {
      delete[](*ppProfiles)[i].pPluginFilterItem;
      delete[](*ppProfiles)[i].pPluginTagItem;
    }
    delete[] * ppProfiles;
    *ppProfiles = nullptr;
    --m_outstanding;
    return true;
  }

  bool RegisterMetadataCallbackFunc(fnPluginCallback fn, void* pData) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_metadata = fn;
    m_metadataData = pData;
    return true;
  }
  bool RegisterEventCallbackFunc(fnPluginEventCallback fn, void* pData) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_event = fn;
    m_eventData = pData;
    return true;
  }
  bool GetLastErrorMessage(T_PLUGIN_ERROR_MESSAGE* pErrorMsg) const override {
    CopyText(pErrorMsg->sErrorMsg, "");
    return true;
  }

  // The device kind declares three events, the channel kind none, the
  // sub-channel kind is not known to the event lookup.
  bool GetSupportEventSize(const T_PLUGIN_ID* pId, unsigned int* puiSize) const override {
    const std::string kind = ReadText(pId->sPluginID);
    *puiSize = kind == kDeviceKind ? 3 : 0;
    return kind == kDeviceKind || kind == kChannelKind;
  }
  bool GetSupportEvent(const T_PLUGIN_ID* pId, T_SUPPORT_EVENT_ID* pList, unsigned int uiSize) const override {
    const std::string kind = ReadText(pId->sPluginID);
    const unsigned int events[] = {kEventLost, kEventConnected, kEventOther};
    if (kind == kDeviceKind) {
      for (unsigned int i = 0; i < uiSize && i < 3; ++i) pList[i].uiEventID = events[i];
    }
    return kind == kDeviceKind || kind == kChannelKind;
  }
  bool SetDeviceEnable(bool) override { return true; }

 private:
  std::string SourceValue(const std::string& id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return SourceValueLocked(id);
  }
  std::string SourceValueLocked(const std::string& id) const {
    for (const Setting& setting : m_source) {
      if (setting.id == id) return setting.value;
    }
    return "";
  }

  void RaiseEvent(unsigned int event) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const fnPluginEventCallback callback = m_event;
    void* const data = m_eventData;
    lock.unlock();
    if (callback != nullptr) callback(m_deviceId, event, data);
  }

  // One round: a record for every enabled channel with a camera, built under
  // the lock and handed out without it.
  void SendRound() {
    std::vector<std::pair<unsigned long long, std::string>> records;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (const auto& entry : m_channels) {
      const Channel& channel = entry.second;
      if (!channel.enabled || channel.config.size() < 2 || channel.config[0].value.empty()) continue;
      records.emplace_back(entry.first, "cam=" + channel.config[0].value + "\tlabel=" + channel.config[1].value +
                                            "\r\n\x01" "end");
    }
    const fnPluginCallback callback = m_metadata;
    void* const data = m_metadataData;
    lock.unlock();
    for (const auto& record : records) {
      if (callback != nullptr) {
        callback(m_deviceId, record.first, record.second.c_str(), static_cast<int>(record.second.size()), data);
      }
    }
  }

  void Work() {
    RaiseEvent(kEventConnected);
    RaiseEvent(kEventOther);
    for (int round = 0; round < kRecordRounds && !StopRequested(20); ++round) SendRound();
    while (!StopRequested(1000)) {
    }
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_connected = false;
    }
    RaiseEvent(kEventLost);
  }

  bool StopRequested(int waitMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return m_stop; });
  }

  void StopWorker() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
  }

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::thread m_worker;
  bool m_stop = false;
  bool m_connected = false;
  unsigned long long m_deviceId = 0;
  std::vector<Setting> m_source;
  std::map<unsigned long long, Channel> m_channels;
  fnPluginCallback m_metadata = nullptr;
  void* m_metadataData = nullptr;
  fnPluginEventCallback m_event = nullptr;
  void* m_eventData = nullptr;
  int m_outstanding = 0;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) IPluginModel1* CreatePluginModel() { return new FakeModel(); }

extern "C" __attribute__((visibility("default"))) bool ReleasePluginModel(IPluginModel1* model) {
  if (model == nullptr) return false;
  FakeModel* fake = static_cast<FakeModel*>(static_cast<IPluginModel2*>(model));
  const bool allReturned = fake->Outstanding() == 0;
  delete fake;
  return allReturned;
}
