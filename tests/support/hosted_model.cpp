#include "support/hosted_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "MetadataModelBase/HostRecords.h"
#include "support/loopback.h"

namespace vantix_test {

namespace {

T_PLUGIN_UI_CONFIG Setting(const char* sPropertyID, const std::string& strValue) {
  T_PLUGIN_UI_CONFIG setting;
  CopyText(setting.sPluginID, sPropertyID);
  CopyText(setting.sValue, strValue);
  return setting;
}

}  // namespace

HostedModel::Timing HostedModel::Timing::Product() { return Timing{100, 10000, CVantixReceiver::Timing()}; }

HostedModel::HostedModel() : HostedModel(Timing()) {}

HostedModel::HostedModel(const Timing& timing)
    : m_pModel(dynamic_cast<CMetadataModelVantix*>(CreatePluginModel())) {
  if (m_pModel == nullptr) return;
  m_pModel->SetDeviceID(kDeviceID);
  if (!m_pModel->Initialize()) {
    Release();
    return;
  }
  m_pModel->SetWorkerTiming(timing.uiWorkerPeriodMS, timing.reconnectIntervalMS);
  m_pModel->Receiver()->SetTiming(timing.receiver);
  m_pModel->RegisterEventCallbackFunc(&EventRecorder::Callback, &events);
  m_pModel->RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &records);
}

bool HostedModel::SetServer(const std::string& strIP, uint16_t usPort) {
  const T_PLUGIN_UI_CONFIG settings[] = {Setting("ModelVantixIP", strIP),
                                         Setting("ModelVantixServerPort", std::to_string(usPort))};
  return m_pModel->SetSourceConfigList(settings, 2);
}

bool HostedModel::ConnectTo(LoopbackServer& server) {
  return SetServer(kLoopbackIP, server.Port()) && m_pModel->Connect(true) && server.AcceptClient(kDeadlineMS);
}

bool HostedModel::AddCameraChannel(unsigned long long ullChID, int camera) {
  T_PLUGIN_ID kind;
  CopyText(kind.sPluginID, "ID_VANTIX_CH");
  return m_pModel->AddChannel(kDeviceID, ullChID, &kind) && SetCamera(ullChID, camera);
}

bool HostedModel::SetCamera(unsigned long long ullChID, const std::string& strCamera) {
  T_PLUGIN_UI_CONFIG setting = Setting("ModelVantixCH", strCamera);
  return m_pModel->SetChannelConfigList(ullChID, &setting, 1);
}

E_METADATA_STATUS HostedModel::Status() const {
  E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTING;
  m_pModel->GetStatus(&eStatus);
  return eStatus;
}

std::string HostedModel::LastError() const {
  T_PLUGIN_ERROR_MESSAGE message{};
  return m_pModel->GetLastErrorMessage(&message) ? message.sErrorMsg : "<refused>";
}

bool HostedModel::Release() {
  if (m_pModel == nullptr) return false;
  IPluginModel1* pInterface = m_pModel;
  m_pModel = nullptr;
  return ReleasePluginModel(pInterface);
}

std::string CameraRecord(int camera, int sequence) {
  return "CamID:" + std::to_string(camera) + " Event:face seq=" + std::to_string(sequence) + "\r\n";
}

std::string HostText(int camera, int sequence) {
  return "CamID:" + std::to_string(camera) + "\r\nEvent:face\r\nseq=" + std::to_string(sequence) + "\r\n\r\n";
}

int SequenceOf(const std::string& strHostText) {
  const char* pSequence = strstr(strHostText.c_str(), "seq=");
  return pSequence != nullptr ? atoi(pSequence + 4) : -1;
}

void FinishWithin(const char* what, int timeoutMS, const std::function<void()>& call) {
  std::packaged_task<void()> task(call);
  std::future<void> done = task.get_future();
  std::thread caller(std::move(task));
  if (done.wait_for(std::chrono::milliseconds(timeoutMS)) != std::future_status::ready) {
    fprintf(stderr, "%s did not return within %d ms\n", what, timeoutMS);
    fflush(stderr);
    std::_Exit(EXIT_FAILURE);
  }
  caller.join();
}

}  // namespace vantix_test
