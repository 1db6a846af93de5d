#include "bench/hosted_model.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace vantix_bench {

namespace {

const char kChannelKind[] = "ID_VANTIX_CH";

void Fill(char* pField, size_t size, const std::string& text) {
  strncpy(pField, text.c_str(), size - 1);
  pField[size - 1] = '\0';
}

// Sends standard output to /dev/null for as long as it lives.
class QuietStdout {
 public:
  QuietStdout() : m_savedFd(-1) {
    fflush(stdout);
    FILE* pNull = fopen("/dev/null", "w");
    if (pNull == nullptr) return;
    m_savedFd = dup(STDOUT_FILENO);
    dup2(fileno(pNull), STDOUT_FILENO);
    fclose(pNull);
  }
  ~QuietStdout() {
    if (m_savedFd < 0) return;
    fflush(stdout);
    dup2(m_savedFd, STDOUT_FILENO);
    close(m_savedFd);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int m_savedFd;
};

}  // namespace

HostedModel::HostedModel() : m_pModel(CreatePluginModel()), m_bInitialized(false) {
  if (m_pModel == nullptr) return;
  m_pModel->SetDeviceID(kDeviceID);
  m_bInitialized = m_pModel->Initialize();
}

HostedModel::~HostedModel() {
  if (m_pModel == nullptr) return;
  if (m_bInitialized) {
    m_pModel->Disconnect(true);
    m_pModel->Uninitialize();
  }
  ReleasePluginModel(m_pModel);
}

CMetadataModelVantix& HostedModel::Concrete() { return *static_cast<CMetadataModelVantix*>(m_pModel); }

bool HostedModel::SetServer(unsigned short port) {
  T_PLUGIN_UI_CONFIG config[2] = {};
  Fill(config[0].sPluginID, sizeof(config[0].sPluginID), "ModelVantixIP");
  Fill(config[0].sValue, sizeof(config[0].sValue), "127.0.0.1");
  Fill(config[1].sPluginID, sizeof(config[1].sPluginID), "ModelVantixServerPort");
  Fill(config[1].sValue, sizeof(config[1].sValue), std::to_string(port));
  return m_pModel->SetSourceConfigList(config, 2);
}

bool HostedModel::AddChannel(unsigned long long ullChannelID, const std::string& strCamera) {
  T_PLUGIN_ID kind = {};
  Fill(kind.sPluginID, sizeof(kind.sPluginID), kChannelKind);
  {
    QuietStdout quiet;
    if (!m_pModel->AddChannel(kDeviceID, ullChannelID, &kind)) return false;
  }
  T_PLUGIN_UI_CONFIG config = {};
  Fill(config.sPluginID, sizeof(config.sPluginID), "ModelVantixCH");
  Fill(config.sValue, sizeof(config.sValue), strCamera);
  return m_pModel->SetChannelConfigList(ullChannelID, &config, 1) && m_pModel->SetChannelEnable(ullChannelID, true);
}

}  // namespace vantix_bench
