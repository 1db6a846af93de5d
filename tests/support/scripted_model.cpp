#include "support/scripted_model.h"

#include <chrono>

namespace vantix_test {

ScriptedModel::ScriptedModel() {}

ScriptedModel::~ScriptedModel() { UninitializeOnRelease(); }

std::thread::id ScriptedModel::HookThread() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_hookThread;
}

std::vector<std::string> ScriptedModel::Distributed() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_distributed;
}

bool ScriptedModel::InitialModel() {
  ++iInitialModelCalls;
  return bInitialModelSucceeds;
}

bool ScriptedModel::UninitialModel() {
  ++iUninitialModelCalls;
  return bUninitialModelSucceeds;
}

bool ScriptedModel::ConnectModel() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hookThread = std::this_thread::get_id();
  }
  ++iConnectCalls;
  if (iConnectDelayMS > 0) std::this_thread::sleep_for(std::chrono::milliseconds(iConnectDelayMS));
  return bConnectSucceeds;
}

bool ScriptedModel::DisconnectModel() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hookThread = std::this_thread::get_id();
  }
  ++iDisconnectCalls;
  return true;
}

void ScriptedModel::DistributeMetadata(const char* sMetadata, int /*iMetadataLen*/) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_distributed.push_back(sMetadata);
}

}  // namespace vantix_test
