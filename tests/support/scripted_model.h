#pragma once

// A model over the base whose hooks the test scripts and counts. The test fills the declared lists
// before it shares the model with other threads; the model owns the items put there.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/PluginModelBase.h"
#include "model_test_door.h"

namespace vantix_test {

class ScriptedModel : public CMetadataModelBase1 {
 public:
  ~ScriptedModel() override { UninitializeOnRelease(); }

  std::atomic<bool> bConnectSucceeds{true};
  std::atomic<bool> bInitialModelSucceeds{true};
  std::atomic<bool> bUninitialModelSucceeds{true};

  std::atomic<int> iInitialModelCalls{0};
  std::atomic<int> iUninitialModelCalls{0};
  std::atomic<int> iConnectCalls{0};
  std::atomic<int> iDisconnectCalls{0};
  std::atomic<int> iDistributeCalls{0};
  std::atomic<std::thread::id> hookThread{};
  // Run on the worker inside every ConnectModel; set before the worker runs.
  std::function<void()> onConnectModel;

  using CMetadataModelBase1::m_mapChProperty;
  using CMetadataModelBase1::m_vFilterProfile;
  using CMetadataModelBase1::m_vParentChildMapList;
  using CMetadataModelBase1::m_vSourceProperty;
  using CMetadataModelBase1::m_vSupportEvent;

 protected:
  bool InitDeviceInfo() override { return true; }
  bool InitCategoryType() override { return true; }
  bool InitChannelInfo() override { return true; }
  bool InitChannelRelation() override { return true; }
  bool InitPropertyItem() override { return true; }
  bool InitFilterProfile() override { return true; }
  bool InitSupportEventList() override { return true; }
  bool InitialModel() override {
    ++iInitialModelCalls;
    return bInitialModelSucceeds;
  }
  bool UninitialModel() override {
    ++iUninitialModelCalls;
    return bUninitialModelSucceeds;
  }
  bool ConnectModel() override {
    hookThread = std::this_thread::get_id();
    ++iConnectCalls;
    if (onConnectModel) onConnectModel();
    return bConnectSucceeds;
  }
  bool DisconnectModel() override {
    hookThread = std::this_thread::get_id();
    ++iDisconnectCalls;
    return true;
  }
  void DistributeMetadata(const char*, int) override { ++iDistributeCalls; }
};

// Items as a concrete model declares them.
template <typename Item>
Item* NewItem(const std::string& strID) {
  Item* pItem = new Item();
  pItem->SetPropertyID(strID);
  return pItem;
}

template <typename Range>
Range* NewRange(const std::string& strID, long long llMinimum, long long llMaximum, long long llValue) {
  Range* pItem = NewItem<Range>(strID);
  pItem->SetMinimum(llMinimum);
  pItem->SetMaximum(llMaximum);
  pItem->SetValue(llValue);
  return pItem;
}

inline T_PLUGIN_ID PluginID(const std::string& strText) {
  T_PLUGIN_ID id;
  CopyText(id.sPluginID, strText);
  return id;
}

}  // namespace vantix_test
