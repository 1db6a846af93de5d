// A host's whole life with the plug-in, for memory checkers: load the library,
// create a model, configure it for a server that this program runs on
// 127.0.0.1, connect, receive records, lose the server for longer than the
// failure window and regain it (the product's own timings, about sixteen
// seconds), disconnect, uninitialise, release and unload.
// Exits 0 when everything expected happened within its deadline, 1 otherwise.

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/IPluginModel.h"
#include "support/host_recorder.h"
#include "support/loopback_server.h"

namespace {

using namespace vantix_test;

const unsigned long long kDeviceID = 42;
const unsigned long long kChannelID = 101;
// Generous: everything runs under a memory checker.
const std::chrono::milliseconds kDeadline(30000);

bool Check(bool bDone, const char* sWhat) {
  if (!bDone) fprintf(stderr, "host_lifecycle: %s\n", sWhat);
  return bDone;
}

T_PLUGIN_UI_CONFIG Setting(const char* sPropertyID, const std::string& strValue) {
  T_PLUGIN_UI_CONFIG setting;
  CopyText(setting.sPluginID, sPropertyID);
  CopyText(setting.sValue, strValue);
  return setting;
}

class Host {
 public:
  explicit Host(IPluginModel2& model) : m_model(model) {}

  bool Configure(uint16_t port) {
    const T_PLUGIN_UI_CONFIG source[] = {Setting("ModelVantixIP", "127.0.0.1"),
                                         Setting("ModelVantixServerPort", std::to_string(port))};
    T_PLUGIN_UI_CONFIG camera = Setting("ModelVantixCH", "2");
    T_PLUGIN_ID kind;
    CopyText(kind.sPluginID, "ID_VANTIX_CH");
    return Check(m_model.SetDeviceID(kDeviceID) && m_model.Initialize() && m_model.SetSourceConfigList(source, 2) &&
                     m_model.AddChannel(kDeviceID, kChannelID, &kind) &&
                     m_model.SetChannelConfigList(kChannelID, &camera, 1) &&
                     m_model.RegisterEventCallbackFunc(&EventRecorder::Callback, &m_events) &&
                     m_model.RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &m_records),
                 "configuring the model failed");
  }

  // The model connects (once more) and reports it, and four records arrive
  // whole, each written after the one before it arrived.
  bool ConnectedAndReceiving(LoopbackServer& server, size_t events) {
    if (!Check(server.AcceptClient(kDeadline.count()) && m_events.WaitForCount(events, kDeadline) &&
                   m_events.Items().back().uiEventID == 3601,
               "the model did not connect")) {
      return false;
    }
    for (int i = 0; i < 4; ++i) {
      const size_t n = m_records.Count();
      const std::string serial = std::to_string(n);
      if (!Check(server.Write("Time:" + serial + " CamID:2 Event:FaceMatched\r\n") &&
                     m_records.WaitForCount(n + 1, kDeadline) && m_records.Items()[n].ullChannelID == kChannelID &&
                     m_records.Items()[n].strText == "Time:" + serial + "\r\nCamID:2\r\nEvent:FaceMatched\r\n\r\n",
                 "a record did not arrive whole")) {
        return false;
      }
    }
    return true;
  }

  bool Run(LoopbackServer& server) {
    if (!Configure(server.Port()) || !Check(m_model.Connect(true), "Connect failed") ||
        !ConnectedAndReceiving(server, 1)) {
      return false;
    }
    server.CloseClient();
    server.StopListening();
    return Check(m_events.WaitForCount(2, kDeadline), "the lost connection was not reported") &&
           Check(server.StartListening(), "the server could not listen again") && ConnectedAndReceiving(server, 3);
  }

 private:
  IPluginModel2& m_model;
  EventRecorder m_events;
  RecordRecorder m_records;
};

}  // namespace

int main() {
  LoopbackServer server;
  void* pLibrary = dlopen(VANTIX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!Check(server.IsListening() && pLibrary != nullptr, "no server or no plug-in")) return 1;
  auto fnCreate = reinterpret_cast<fnCreatePluginModel>(dlsym(pLibrary, "CreatePluginModel"));
  auto fnRelease = reinterpret_cast<fnReleasePluginModel>(dlsym(pLibrary, "ReleasePluginModel"));
  IPluginModel2* pModel = fnCreate != nullptr ? static_cast<IPluginModel2*>(fnCreate()) : nullptr;
  if (!Check(pModel != nullptr && fnRelease != nullptr, "the entry points failed")) return 1;
  bool bDone;
  {
    Host host(*pModel);
    bDone = host.Run(server);
    bDone = Check(pModel->Disconnect(true), "Disconnect failed") && bDone;
    bDone = Check(pModel->Uninitialize(), "Uninitialize failed") && bDone;
    bDone = Check(fnRelease(pModel), "ReleasePluginModel failed") && bDone;
  }
  dlclose(pLibrary);
  fprintf(stderr, "host_lifecycle: %s\n", bDone ? "passed" : "failed");
  return bDone ? 0 : 1;
}
