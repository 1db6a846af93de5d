#pragma once

// A model whose hooks are scripted by the test: connect succeeds or fails on
// demand, every hook counts its calls and remembers the thread it ran on.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelBase/PluginModelBase.h"

namespace vantix_test {

class ScriptedModel : public CMetadataModelBase1 {
 public:
  ScriptedModel();
  ~ScriptedModel() override;

  std::atomic<bool> bConnectSucceeds{true};
  std::atomic<bool> bInitialModelSucceeds{true};
  std::atomic<bool> bUninitialModelSucceeds{true};
  std::atomic<int> iConnectDelayMS{0};

  std::atomic<int> iInitialModelCalls{0};
  std::atomic<int> iUninitialModelCalls{0};
  std::atomic<int> iConnectCalls{0};
  std::atomic<int> iDisconnectCalls{0};

  std::thread::id HookThread() const;
  std::vector<std::string> Distributed() const;


 protected:
  bool InitDeviceInfo() override { return true; }
  bool InitCategoryType() override { return true; }
  bool InitChannelInfo() override { return true; }
  bool InitChannelRelation() override { return true; }
  bool InitPropertyItem() override { return true; }
  bool InitFilterProfile() override { return true; }
  bool InitSupportEventList() override { return true; }
  bool InitialModel() override;
  bool UninitialModel() override;
  bool ConnectModel() override;
  bool DisconnectModel() override;
  void DistributeMetadata(const char* sMetadata, int iMetadataLen) override;

 private:
  mutable std::mutex m_mutex;
  std::thread::id m_hookThread;
  std::vector<std::string> m_distributed;
};

}  // namespace vantix_test
