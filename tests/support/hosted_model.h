#pragma once

// The real model, driven through the host interface, its clocks set through seams.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelVantix/MetadataModelVantix.h"
#include "support/host_recorder.h"
#include "support/loopback.h"
#include "support/loopback_server.h"
#include "support/model_test_door.h"

namespace vantix_test {

// Generous: the i386 build runs under an emulator.
constexpr int kDeadlineMS = 10000;

inline T_PLUGIN_UI_CONFIG Setting(const char* sPropertyID, const std::string& strValue) {
  T_PLUGIN_UI_CONFIG setting;
  CopyText(setting.sPluginID, sPropertyID);
  CopyText(setting.sValue, strValue);
  return setting;
}

class HostedModel {
 public:
  static constexpr unsigned long long kDeviceID = 0xD0;

  explicit HostedModel(std::shared_ptr<const SysUtils::Timing> pTiming = QuickTiming())
      : m_pModel(dynamic_cast<CMetadataModelVantix*>(CreatePluginModel())) {
    if (m_pModel == nullptr) return;
    CModelTestDoor::SetTiming(*m_pModel, std::move(pTiming));
    if (!m_pModel->SetDeviceID(kDeviceID) || !m_pModel->Initialize()) return;
    m_pModel->RegisterEventCallbackFunc(&EventRecorder::Callback, &events);
    m_pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &records);
  }
  ~HostedModel() { Release(); }
  HostedModel(const HostedModel&) = delete;
  HostedModel& operator=(const HostedModel&) = delete;

  bool IsReady() const { return m_pModel != nullptr && CModelTestDoor::Receiver(*m_pModel) != nullptr; }
  IPluginModel2& Host() { return *m_pModel; }
  CMetadataModelVantix& Model() { return *m_pModel; }

  bool SetServer(const std::string& strIP, uint16_t usPort) {
    const T_PLUGIN_UI_CONFIG settings[] = {Setting("ModelVantixIP", strIP),
                                           Setting("ModelVantixServerPort", std::to_string(usPort))};
    return m_pModel->SetSourceConfigList(settings, 2);
  }
  bool ConnectTo(LoopbackServer& server) {
    return SetServer(kLoopbackIP, server.Port()) && m_pModel->Connect(true) &&
           server.AcceptClient(kDeadlineMS);
  }
  bool AddCameraChannel(unsigned long long ullChID, int camera) {
    T_PLUGIN_ID kind;
    CopyText(kind.sPluginID, "ID_VANTIX_CH");
    return m_pModel->AddChannel(kDeviceID, ullChID, &kind) && SetCamera(ullChID, camera);
  }
  bool SetCamera(unsigned long long ullChID, int camera) {
    T_PLUGIN_UI_CONFIG setting = Setting("ModelVantixCH", std::to_string(camera));
    return m_pModel->SetChannelConfigList(ullChID, &setting, 1);
  }
  E_METADATA_STATUS Status() const {
    E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTING;
    return m_pModel->GetStatus(&eStatus) ? eStatus : eMETADATA_STATUS_CONNECTING;
  }
  std::string LastError() const {
    T_PLUGIN_ERROR_MESSAGE message{};
    return m_pModel->GetLastErrorMessage(&message) ? message.sErrorMsg : "<refused>";
  }
  bool Release() {
    IPluginModel1* pInterface = m_pModel;
    m_pModel = nullptr;
    return pInterface != nullptr && ReleasePluginModel(pInterface);
  }

  EventRecorder events;
  RecordRecorder records;

 private:
  CMetadataModelVantix* m_pModel;
};

// A number of this process's status file: "VmRSS:" and "VmSize:" in KiB, "Threads:".
inline long ProcessStatus(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, field.size(), field) == 0) return std::stol(line.substr(field.size()));
  }
  return -1;
}

inline std::string CameraRecord(int camera, int sequence) {
  return "CamID:" + std::to_string(camera) + " Event:face seq=" + std::to_string(sequence) + "\r\n";
}
inline std::string HostText(int camera, int sequence) {
  return "CamID:" + std::to_string(camera) + "\r\nEvent:face\r\nseq=" + std::to_string(sequence) + "\r\n\r\n";
}
inline int SequenceOf(const std::string& strHostText) {
  const size_t at = strHostText.find("seq=");
  return at != std::string::npos ? atoi(strHostText.c_str() + at + 4) : -1;
}

// Runs `call` on a thread; a hung call, neither joinable nor to be left, ends the process.
inline void FinishWithin(const char* what, int timeoutMS, const std::function<void()>& call) {
  std::future<void> done = std::async(std::launch::async, call);
  if (done.wait_for(std::chrono::milliseconds(timeoutMS)) == std::future_status::ready) return done.get();
  fprintf(stderr, "%s did not return within %d ms\n", what, timeoutMS);
  std::_Exit(EXIT_FAILURE);
}

}  // namespace vantix_test
