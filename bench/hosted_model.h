#pragma once

// One model driven as a host drives it: created through the entry point,
// configured and connected through the interface, and torn down in the
// host's order. The concrete class is reachable for the timing seams only.

#include <string>

#include "MetadataModelBase/IPluginModel.h"
#include "MetadataModelVantix/MetadataModelVantix.h"

namespace vantix_bench {

class HostedModel {
 public:
  HostedModel();
  ~HostedModel();
  HostedModel(const HostedModel&) = delete;
  HostedModel& operator=(const HostedModel&) = delete;

  bool IsUsable() const { return m_pModel != nullptr && m_bInitialized; }
  IPluginModel1& Model() { return *m_pModel; }
  CMetadataModelVantix& Concrete();

  // Adds `count` enabled channels (identifiers 1 to count) whose camera value
  // is cameraOf(index); the model's "[MDS Channel]" lines are kept off the
  // table that the benchmark prints.
  template <typename CameraOf>
  bool AddChannels(unsigned int count, CameraOf cameraOf) {
    for (unsigned int i = 0; i < count; ++i) {
      if (!AddChannel(i + 1, cameraOf(i))) return false;
    }
    return true;
  }
  bool SetServer(unsigned short port);
  void OnRecord(fnPluginCallback fn, void* pData) { m_pModel->RegisterMetadataCallbackFunc(fn, pData); }
  void OnEvent(fnPluginEventCallback fn, void* pData) { m_pModel->RegisterEventCallbackFunc(fn, pData); }
  bool Connect() { return m_pModel->Connect(true); }

  static const unsigned long long kDeviceID = 0xD0;

 private:
  bool AddChannel(unsigned long long ullChannelID, const std::string& strCamera);

  IPluginModel1* m_pModel;
  bool m_bInitialized;
};

}  // namespace vantix_bench
