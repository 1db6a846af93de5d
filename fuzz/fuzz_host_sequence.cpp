// Bytes read as a sequence of interface calls on one model, the way a careless
// host might make them: channels added, deleted and renumbered anywhere,
// configuration lists with cut or unterminated texts and any sizes, lists and
// profiles released with wrong counts, twice or when they were never handed
// out. The model is never initialised or connected, so no thread runs.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "MetadataModelBase/IPluginModel.h"
#include "MetadataModelVantix/MetadataModelVantix.h"

namespace {

const unsigned long long kDeviceID = 7;
// An empty kind is also tried, through the fuzzed texts; it is refused with
// an assertion line on standard error, too noisy to try it every third time.
const char* const kKnownPluginIDs[] = {"ID_VANTIX", "ID_VANTIX_CH"};
const char* const kKnownPropertyIDs[] = {"ModelVantixIP", "ModelVantixServerPort", "ModelVantixCH"};
const size_t kMaxEntries = 6;

void Require(bool condition) {
  if (!condition) abort();
}

// A host text field: a known text, fuzzed text, or the whole array filled
// with no terminating NUL.
template <size_t N>
void FillField(FuzzedDataProvider& input, char (&field)[N], const char* const* known, size_t knownCount) {
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      snprintf(field, N, "%s", known[input.ConsumeIntegralInRange<size_t>(0, knownCount - 1)]);
      break;
    case 1:
      snprintf(field, N, "%s", input.ConsumeRandomLengthString(N + 8).c_str());
      break;
    default:
      memset(field, input.ConsumeIntegralInRange<int>(0x20, 0x7e), N);
      break;
  }
}

T_PLUGIN_ID FuzzedPluginID(FuzzedDataProvider& input) {
  T_PLUGIN_ID id;
  FillField(input, id.sPluginID, kKnownPluginIDs, 2);
  return id;
}

std::vector<T_PLUGIN_UI_CONFIG> FuzzedConfigList(FuzzedDataProvider& input) {
  std::vector<T_PLUGIN_UI_CONFIG> list(input.ConsumeIntegralInRange<size_t>(0, kMaxEntries));
  for (T_PLUGIN_UI_CONFIG& entry : list) {
    FillField(input, entry.sPluginID, kKnownPropertyIDs, 3);
    const char* const values[] = {"127.0.0.1", "7000", "0", "512", "localhost", "-1", "65536"};
    FillField(input, entry.sValue, values, 7);
  }
  return list;
}

// What the host keeps while it drives the model: identifiers of channels it
// added, and the lists and profiles it holds (or held).
struct Host {
  IPluginModel2* pModel = nullptr;
  std::vector<unsigned long long> vChannelIDs{kDeviceID};
  std::vector<std::pair<T_PROPERTY_UI_INFO*, unsigned int>> vSourceLists;
  std::vector<std::pair<T_CAHNNEL_PROPERTY*, unsigned int>> vChannelLists;
  std::vector<std::pair<T_PLUGIN_FILTER_PROFILE*, unsigned int>> vProfiles;
};

unsigned long long PickID(FuzzedDataProvider& input, const Host& host) {
  if (input.ConsumeBool()) return input.ConsumeIntegralInRange<unsigned long long>(0, 20);
  return host.vChannelIDs[input.ConsumeIntegralInRange<size_t>(0, host.vChannelIDs.size() - 1)];
}

unsigned int ChildCount(Host& host, unsigned long long ullParentID) {
  unsigned int uiCount = 0;
  return host.pModel->GetChannelCount(ullParentID, &uiCount) ? uiCount : 0;
}

// Every channel under a parent is found by its identifier, at its own index
// or, when renumbering gave an earlier one the same identifier, before it.
void CheckChildren(Host& host, unsigned long long ullParentID) {
  const unsigned int uiCount = ChildCount(host, ullParentID);
  for (unsigned int i = 0; i < uiCount; ++i) {
    unsigned long long ullChID = 0;
    Require(host.pModel->GetChannelID(ullParentID, i, &ullChID));
    unsigned int uiIndex = 0;
    Require(host.pModel->GetChannelIndex(ullParentID, ullChID, &uiIndex));
    Require(uiIndex <= i);
    unsigned long long ullFirstID = 0;
    Require(host.pModel->GetChannelID(ullParentID, uiIndex, &ullFirstID) && ullFirstID == ullChID);
  }
  unsigned long long ullBeyond = 0;
  Require(!host.pModel->GetChannelID(ullParentID, uiCount, &ullBeyond));
}

void AddChannel(FuzzedDataProvider& input, Host& host) {
  const unsigned long long ullParentID = PickID(input, host);
  const unsigned long long ullChID = input.ConsumeIntegralInRange<unsigned long long>(0, 20);
  const T_PLUGIN_ID pluginID = FuzzedPluginID(input);
  host.pModel->CanAddNewChannel(input.ConsumeIntegralInRange<unsigned int>(0, 3), &pluginID);
  if (host.pModel->AddChannel(ullParentID, ullChID, input.ConsumeBool() ? &pluginID : nullptr)) {
    unsigned int uiIndex = 0;
    Require(host.pModel->GetChannelIndex(ullParentID, ullChID, &uiIndex));
    host.vChannelIDs.push_back(ullChID);
  }
  CheckChildren(host, ullParentID);
}

void DeleteChannel(FuzzedDataProvider& input, Host& host) {
  const unsigned long long ullParentID = PickID(input, host);
  const unsigned long long ullChID = PickID(input, host);
  const unsigned int uiCount = ChildCount(host, ullParentID);
  if (host.pModel->DeleteChannel(ullParentID, ullChID)) Require(ChildCount(host, ullParentID) == uiCount - 1);
  CheckChildren(host, ullParentID);
}

void RenumberChannel(FuzzedDataProvider& input, Host& host) {
  const unsigned long long ullParentID = PickID(input, host);
  const unsigned int uiIndex = input.ConsumeIntegralInRange<unsigned int>(0, 4);
  const unsigned long long ullNewID = input.ConsumeIntegralInRange<unsigned long long>(0, 20);
  if (host.pModel->SetChannelID(ullParentID, uiIndex, ullNewID)) host.vChannelIDs.push_back(ullNewID);
  CheckChildren(host, ullParentID);
}

void TouchChannel(FuzzedDataProvider& input, Host& host) {
  const unsigned long long ullChID = PickID(input, host);
  bool bEnable = false;
  if (host.pModel->SetChannelEnable(ullChID, input.ConsumeBool())) {
    Require(host.pModel->IsChannelEnable(ullChID, &bEnable));
  }
  host.pModel->IsChannelEnable(ullChID, input.ConsumeBool() ? &bEnable : nullptr);
  T_PLUGIN_ID pluginID = FuzzedPluginID(input);
  host.pModel->SetChannelPluginID(ullChID, input.ConsumeBool() ? &pluginID : nullptr);
  host.pModel->GetChannelPluginID(ullChID, input.ConsumeBool() ? &pluginID : nullptr);
}

void TouchDevice(FuzzedDataProvider& input, Host& host) {
  bool bEnable = false;
  Require(host.pModel->SetDeviceEnable(input.ConsumeBool()));
  host.pModel->IsDeviceEnable(input.ConsumeBool() ? &bEnable : nullptr);
  E_METADATA_STATUS eStatus;
  host.pModel->GetStatus(&eStatus);
  T_PLUGIN_ERROR_MESSAGE error;
  host.pModel->GetLastErrorMessage(&error);
  Require(memchr(error.sErrorMsg, '\0', sizeof(error.sErrorMsg)) != nullptr);
}

// Reads a list through a buffer of any size up to what is there and one
// more; the model never writes past the size it is given.
void ReadConfigList(FuzzedDataProvider& input, Host& host, bool bSource, unsigned long long ullChID) {
  unsigned int uiSize = 0;
  const bool bSized = bSource ? host.pModel->GetSourceConfigListSize(&uiSize)
                              : host.pModel->GetChannelConfigListSize(ullChID, &uiSize);
  if (!bSized) uiSize = 0;
  const unsigned int uiAsked = input.ConsumeIntegralInRange<unsigned int>(0, uiSize + 1);
  std::vector<T_PLUGIN_UI_CONFIG> list(uiAsked);
  T_PLUGIN_UI_CONFIG* pList = (uiAsked > 0 || input.ConsumeBool()) ? list.data() : nullptr;
  const bool bRead = bSource ? host.pModel->GetSourceConfigList(pList, uiAsked)
                             : host.pModel->GetChannelConfigList(ullChID, pList, uiAsked);
  if (!bRead) return;
  for (const T_PLUGIN_UI_CONFIG& entry : list) {
    Require(memchr(entry.sPluginID, '\0', sizeof(entry.sPluginID)) != nullptr);
    Require(memchr(entry.sValue, '\0', sizeof(entry.sValue)) != nullptr);
  }
}

void WriteConfigList(FuzzedDataProvider& input, Host& host, bool bSource, unsigned long long ullChID) {
  std::vector<T_PLUGIN_UI_CONFIG> list = FuzzedConfigList(input);
  const unsigned int uiSize = input.ConsumeIntegralInRange<unsigned int>(0, list.size());
  T_PLUGIN_UI_CONFIG* pList = (!list.empty() || input.ConsumeBool()) ? list.data() : nullptr;
  if (bSource) {
    host.pModel->SetSourceConfigList(pList, uiSize);
  } else {
    host.pModel->SetChannelConfigList(ullChID, pList, uiSize);
  }
}

void Configure(FuzzedDataProvider& input, Host& host) {
  const bool bSource = input.ConsumeBool();
  const unsigned long long ullChID = PickID(input, host);
  if (input.ConsumeBool()) {
    WriteConfigList(input, host, bSource, ullChID);
  }
  ReadConfigList(input, host, bSource, ullChID);
}

// The count a list is released with: usually right, sometimes not.
unsigned int ReleaseCount(FuzzedDataProvider& input, unsigned int uiSize) {
  return input.ConsumeBool() ? uiSize : input.ConsumeIntegralInRange<unsigned int>(0, uiSize + 2);
}

// Creates a list or profile, or releases one the host holds (possibly for the
// second time, possibly with the wrong count), or releases a pointer the
// model never handed out.
template <typename T, typename Create, typename Release>
void CreateOrRelease(FuzzedDataProvider& input, std::vector<std::pair<T*, unsigned int>>& held, Create create,
                     Release release) {
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
      T* pList = nullptr;
      unsigned int uiSize = 0;
      if (create(&pList, &uiSize)) held.emplace_back(pList, uiSize);
      break;
    }
    case 1: {
      if (held.empty()) break;
      const size_t i = input.ConsumeIntegralInRange<size_t>(0, held.size() - 1);
      T* pList = held[i].first;
      release(&pList, ReleaseCount(input, held[i].second));
      break;
    }
    case 2: {
      T foreign[2];
      memset(foreign, 0, sizeof(foreign));
      T* pList = foreign;
      Require(!release(&pList, input.ConsumeIntegralInRange<unsigned int>(0, 2)));
      break;
    }
    default: {
      T* pList = nullptr;
      release(input.ConsumeBool() ? &pList : nullptr, input.ConsumeIntegralInRange<unsigned int>(0, 2));
      break;
    }
  }
}

void PropertyLists(FuzzedDataProvider& input, Host& host) {
  IPluginModel2* pModel = host.pModel;
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      CreateOrRelease(
          input, host.vSourceLists,
          [pModel](T_PROPERTY_UI_INFO** pp, unsigned int* pu) { return pModel->CreateSourcePropertyList(pp, pu); },
          [pModel](T_PROPERTY_UI_INFO** pp, unsigned int u) { return pModel->ReleaseSourcePropertyList(pp, u); });
      break;
    case 1:
      CreateOrRelease(
          input, host.vChannelLists,
          [pModel](T_CAHNNEL_PROPERTY** pp, unsigned int* pu) { return pModel->CreateChannelPropertyList(pp, pu); },
          [pModel](T_CAHNNEL_PROPERTY** pp, unsigned int u) { return pModel->ReleaseChannelPropertyList(pp, u); });
      break;
    default:
      CreateOrRelease(
          input, host.vProfiles,
          [pModel](T_PLUGIN_FILTER_PROFILE** pp, unsigned int* pu) { return pModel->CreateFilterProfile(pp, pu); },
          [pModel](T_PLUGIN_FILTER_PROFILE** pp, unsigned int u) { return pModel->ReleaseFilterProfile(pp, u); });
      break;
  }
}

void Describe(FuzzedDataProvider& input, Host& host) {
  const T_PLUGIN_ID pluginID = FuzzedPluginID(input);
  unsigned int uiSize = 0;
  if (!host.pModel->GetSupportEventSize(input.ConsumeBool() ? &pluginID : nullptr, &uiSize)) uiSize = 0;
  std::vector<T_SUPPORT_EVENT_ID> events(input.ConsumeIntegralInRange<unsigned int>(0, uiSize + 1));
  host.pModel->GetSupportEvent(&pluginID, events.data(), events.size());
  if (!host.pModel->GetSupportChildPluginIDSize(&pluginID, &uiSize)) uiSize = 0;
  std::vector<T_PLUGIN_ID> children(input.ConsumeIntegralInRange<unsigned int>(0, uiSize + 1));
  host.pModel->GetSupportChildPluginID(&pluginID, children.data(), children.size());
  if (!host.pModel->GetChannelRelationSize(&uiSize)) uiSize = 0;
  std::vector<T_PLUGIN_PARENT_CHILD_MAP_ITEM> relation(input.ConsumeIntegralInRange<unsigned int>(0, uiSize + 1));
  host.pModel->GetChannelRelation(relation.data(), relation.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Adding a channel reports itself on standard output; keep the fuzzer's
  // own output readable.
  Require(freopen("/dev/null", "w", stdout) != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  Host host;
  host.pModel = static_cast<IPluginModel2*>(CreatePluginModel());
  Require(host.pModel != nullptr);
  Require(host.pModel->SetDeviceID(kDeviceID));
  int steps = 0;
  while (input.remaining_bytes() > 0 && ++steps <= 64) {
    switch (input.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: AddChannel(input, host); break;
      case 1: DeleteChannel(input, host); break;
      case 2: RenumberChannel(input, host); break;
      case 3: TouchChannel(input, host); break;
      case 4: TouchDevice(input, host); break;
      case 5: Configure(input, host); break;
      case 6: PropertyLists(input, host); break;
      default: Describe(input, host); break;
    }
  }
  CheckChildren(host, kDeviceID);
  // Whatever the host still holds goes with the model.
  Require(ReleasePluginModel(host.pModel));
  return 0;
}
