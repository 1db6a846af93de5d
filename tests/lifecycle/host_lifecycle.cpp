// A host's whole life with the plug-in, for memory checkers: load the library, create a model, configure
// it for a server that this program runs on 127.0.0.1, connect, receive records, lose the server for
// longer than the failure window and regain it (the product's own timings, about sixteen seconds),
// disconnect, uninitialise, release and unload. Exits 0 when all that happened within its deadlines.

#include <cstdio>

#include "support/hosted_model.h"
#include "tools/mdhost/plugin_library.h"

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

struct Host {
  bool Configure(uint16_t port) {
    const T_PLUGIN_UI_CONFIG source[] = {Setting("ModelVantixIP", kLoopbackIP),
                                         Setting("ModelVantixServerPort", std::to_string(port))};
    T_PLUGIN_UI_CONFIG camera = Setting("ModelVantixCH", "2");
    T_PLUGIN_ID kind;
    CopyText(kind.sPluginID, "ID_VANTIX_CH");
    return Check(model.SetDeviceID(kDeviceID) && model.Initialize() && model.SetSourceConfigList(source, 2) &&
                     model.AddChannel(kDeviceID, kChannelID, &kind) &&
                     model.SetChannelConfigList(kChannelID, &camera, 1) &&
                     model.RegisterEventCallbackFunc(&EventRecorder::Callback, &events) &&
                     model.RegisterMetadataCallbackFunc(&RecordRecorder::Callback, &records),
                 "configuring the model failed");
  }

  // The model connects (once more) and reports it, and four records arrive
  // whole, each written after the one before it arrived.
  bool ConnectedAndReceiving(size_t eventCount) {
    if (!Check(server.AcceptClient(kDeadline.count()) && events.WaitForCount(eventCount, kDeadline) &&
                   events.Codes().back() == 3601,
               "the model did not connect")) {
      return false;
    }
    for (int n = static_cast<int>(records.Count()), end = n + 4; n < end; ++n) {
      if (!Check(server.Write(CameraRecord(2, n)) && records.WaitForCount(n + 1, kDeadline) &&
                     records.Items()[n].ullChannelID == kChannelID &&
                     records.Items()[n].strText == HostText(2, n),
                 "a record did not arrive whole")) {
        return false;
      }
    }
    return true;
  }

  bool Run() {
    if (!Configure(server.Port()) || !Check(model.Connect(true), "Connect failed") ||
        !ConnectedAndReceiving(1)) {
      return false;
    }
    server.CloseClient();
    server.StopListening();
    return Check(events.WaitForCount(2, kDeadline), "the lost connection was not reported") &&
           Check(server.StartListening(), "the server could not listen again") && ConnectedAndReceiving(3);
  }

  IPluginModel2& model;
  LoopbackServer& server;
  EventRecorder events;
  RecordRecorder records;
};

}  // namespace

int main() {
  LoopbackServer server;
  bool bDone;
  {
    const std::unique_ptr<PluginLibrary> plugin = PluginLibrary::Load(VANTIX_PLUGIN_PATH);
    std::unique_ptr<PluginModel> model = plugin ? PluginModel::Create(*plugin) : nullptr;
    if (!Check(server.IsListening() && model != nullptr, "no server or no plug-in")) return 1;
    Host host{**model, server, {}, {}};
    bDone = host.Run();
    bDone = Check((*model)->Disconnect(true), "Disconnect failed") && bDone;
    bDone = Check((*model)->Uninitialize(), "Uninitialize failed") && bDone;
    bDone = Check(model->Release(), "ReleasePluginModel failed") && bDone;
  }
  fprintf(stderr, "host_lifecycle: %s\n", bDone ? "passed" : "failed");
  return bDone ? 0 : 1;
}
