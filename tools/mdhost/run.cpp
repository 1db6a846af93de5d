#include "tools/mdhost/run.h"

#include <cstring>
#include <set>

#include "MetadataModelBase/HostRecords.h"
#include "tools/common/waiter.h"
#include "tools/mdhost/connect_error.h"
#include "tools/mdhost/exit_status.h"
#include "tools/mdhost/names.h"
#include "tools/mdhost/plugin_library.h"
#include "tools/mdhost/run_monitor.h"
#include "tools/mdhost/text_format.h"

namespace {

// Until a stop signal or the end of the duration, counted from now. Returns
// the signal's name, or null when the time ran out.
const char* WaitForEnd(Waiter& waiter, const std::optional<double>& seconds) {
  const std::optional<Waiter::Clock::time_point> until =
      seconds ? std::optional<Waiter::Clock::time_point>(Waiter::After(*seconds)) : std::nullopt;
  while (!waiter.Stopped() && (!until || Waiter::Clock::now() < *until)) waiter.WaitFor(-1, until);
  return waiter.StopSignal();
}

std::vector<T_PLUGIN_UI_CONFIG> ToRecords(const std::vector<ConfigValue>& values) {
  std::vector<T_PLUGIN_UI_CONFIG> records(values.size(), T_PLUGIN_UI_CONFIG{});
  for (size_t i = 0; i < values.size(); ++i) {
    CopyText(records[i].sPluginID, values[i].id);
    CopyText(records[i].sValue, values[i].value);
  }
  return records;
}

const ConfigValue* FindValue(const std::vector<ConfigValue>& values, const std::string& id) {
  for (const ConfigValue& value : values) {
    if (value.id == id) return &value;
  }
  return nullptr;
}

std::string LastErrorText(const IPluginModel2& model) {
  T_PLUGIN_ERROR_MESSAGE message = {};
  if (!model.GetLastErrorMessage(&message)) return "";
  return ReadText(message.sErrorMsg);
}

int Failed(const IPluginModel2& model, const std::string& operation) {
  const std::string error = LastErrorText(model);
  fprintf(stderr, "mdhost: %s failed%s%s\n", operation.c_str(), error.empty() ? "" : ": ",
          VisibleText(error).c_str());
  return kExitFailed;
}

void WarnUnknownSettings(const std::vector<ConfigValue>& settings, const std::vector<ConfigValue>& stored) {
  std::set<std::string> warned;
  for (const ConfigValue& setting : settings) {
    if (FindValue(stored, setting.id) != nullptr || !warned.insert(setting.id).second) continue;
    fprintf(stderr, "mdhost: warning: the plug-in has no setting %s; it was ignored\n",
            VisibleText(setting.id).c_str());
  }
}

// Which of the settings the plug-in refused, found by reading its list back:
// a refused value leaves the setting as it was.
int ReportRefusedSettings(const std::vector<ConfigValue>& settings,
                          const std::optional<std::vector<ConfigValue>>& stored) {
  bool named = false;
  for (const ConfigValue& setting : settings) {
    const ConfigValue* kept = stored ? FindValue(*stored, setting.id) : nullptr;
    if (kept == nullptr || kept->value == setting.value) continue;
    fprintf(stderr, "mdhost: setting %s=%s was refused by the plug-in\n", VisibleText(setting.id).c_str(),
            VisibleText(setting.value).c_str());
    named = true;
  }
  if (!named) {
    fprintf(stderr, "mdhost: the plug-in refused the source settings%s\n",
            stored ? "" : " (and does not report them back)");
  }
  return kExitRefused;
}

int ApplySourceSettings(IPluginModel2& model, const std::vector<ConfigValue>& settings) {
  if (settings.empty()) return kExitOk;
  const std::vector<T_PLUGIN_UI_CONFIG> records = ToRecords(settings);
  const bool accepted = model.SetSourceConfigList(records.data(), static_cast<unsigned int>(records.size()));
  const std::optional<std::vector<ConfigValue>> stored = ReadSourceConfig(model);
  if (stored) WarnUnknownSettings(settings, *stored);
  return accepted ? kExitOk : ReportRefusedSettings(settings, stored);
}

// The identifier of the first setting of a channel kind: the one that holds
// the camera a channel receives.
std::optional<std::string> CameraPropertyOf(IPluginModel2& model, const std::string& kind) {
  const auto kinds = ReadChannelProperties(model);
  if (!kinds) return std::nullopt;
  for (const ChannelKindProperties& described : *kinds) {
    if (described.pluginId == kind && !described.properties.empty()) return described.properties.front().id;
  }
  return std::nullopt;
}

// Replaces the camera value in the channel's current list (or adds it), so
// that the channel's other settings stay as they are.
int SetChannelCamera(IPluginModel2& model, const ChannelOption& channel, const std::string& property) {
  std::vector<ConfigValue> values = ReadChannelConfig(model, channel.id).value_or(std::vector<ConfigValue>());
  bool replaced = false;
  for (ConfigValue& value : values) {
    if (value.id != property) continue;
    value.value = channel.camera;
    replaced = true;
  }
  if (!replaced) values.push_back(ConfigValue{property, channel.camera});
  std::vector<T_PLUGIN_UI_CONFIG> records = ToRecords(values);
  if (model.SetChannelConfigList(channel.id, records.data(), static_cast<unsigned int>(records.size()))) {
    return kExitOk;
  }
  fprintf(stderr, "mdhost: camera %s=%s of channel %llu was refused by the plug-in\n",
          VisibleText(property).c_str(), VisibleText(channel.camera).c_str(), channel.id);
  return kExitRefused;
}

int SetUpChannels(IPluginModel2& model, const RunOptions& options) {
  if (options.channels.empty()) return kExitOk;
  const auto kinds = ReadChannelKinds(model);
  if (!kinds || kinds->empty()) {
    fprintf(stderr, "mdhost: the plug-in declares no channel kind; cannot add channels\n");
    return kExitFailed;
  }
  const std::string& kind = kinds->front();
  const auto property = CameraPropertyOf(model, kind);
  if (!property) {
    fprintf(stderr, "mdhost: the plug-in describes no setting for channel kind %s; cannot set a camera\n",
            VisibleText(kind).c_str());
    return kExitFailed;
  }
  const T_PLUGIN_ID kindId = MakePluginId(kind);
  for (size_t i = 0; i < options.channels.size(); ++i) {
    const ChannelOption& channel = options.channels[i];
    // A host asks first: the plug-in itself need not enforce its maximum.
    const unsigned int count = static_cast<unsigned int>(i + 1);
    if (!model.CanAddNewChannel(count, &kindId)) {
      fprintf(stderr,
              "mdhost: the plug-in refuses channel %llu: CanAddNewChannel(%u, %s) is false, so it takes at "
              "most %u channels of that kind\n",
              channel.id, count, VisibleText(kind).c_str(), count - 1);
      return kExitRefused;
    }
    if (!model.AddChannel(options.deviceId, channel.id, &kindId)) {
      return Failed(model, "AddChannel of channel " + std::to_string(channel.id));
    }
    const int status = SetChannelCamera(model, channel, *property);
    if (status != kExitOk) return status;
  }
  for (unsigned long long id : options.disabled) {
    if (!model.SetChannelEnable(id, false))
      return Failed(model, "SetChannelEnable(" + std::to_string(id) + ", false)");
  }
  return kExitOk;
}

std::string Outcome(bool succeeded) { return succeeded ? "ok" : "FAILED"; }

void PrintSummary(FILE* out, const RunMonitor::Totals& totals, const std::string& statusBeforeDisconnect,
                  const std::string& lastError, bool disconnected, bool uninitialized, bool released) {
  Table table;
  table.AddRow({"records", std::to_string(totals.records)});
  for (const auto& channel : totals.recordsPerChannel) {
    table.AddRow({"  channel " + std::to_string(channel.first), std::to_string(channel.second)});
  }
  table.AddRow({"events", std::to_string(totals.events)});
  table.AddRow({"connects", std::to_string(totals.connects)});
  table.AddRow({"losses", std::to_string(totals.losses)});
  table.AddRow({"status before disconnect", statusBeforeDisconnect});
  if (!lastError.empty()) table.AddRow({"last error", lastError});
  table.AddRow({"Disconnect", Outcome(disconnected)});
  table.AddRow({"Uninitialize", Outcome(uninitialized)});
  table.AddRow({"ReleasePluginModel", Outcome(released)});
  fprintf(out, "summary\n%s", table.Render(2).c_str());
  fflush(out);
}

// From Connect to ReleasePluginModel: runs until a signal or the duration
// ends it, then shuts the model down as a host does. A run that never
// connected fails, with one line that says why.
int Connected(PluginModel& model, const RunOptions& options, RunMonitor& monitor, Waiter& waiter, FILE* out) {
  const bool connectQueued = model->Connect(false);
  if (!connectQueued) Failed(*model, "Connect");
  const char* signal = connectQueued ? WaitForEnd(waiter, options.durationSeconds) : nullptr;
  // A second signal may end a shutdown that hangs.
  waiter.Unblock();
  if (signal != nullptr) monitor.Note((std::string("stopping on ") + signal).c_str());

  E_METADATA_STATUS status = eMETADATA_STATUS_DISCONNECT;
  const std::string statusBefore = model->GetStatus(&status) ? StatusName(status) : "(not answered)";
  const std::string lastError = LastErrorText(*model);
  const std::string server = ServerText(ReadSourceConfig(*model).value_or(std::vector<ConfigValue>()));
  const bool disconnected = model->Disconnect(true);
  const bool uninitialized = model->Uninitialize();
  const bool released = model.Release();
  const RunMonitor::Totals totals = monitor.Snapshot();
  PrintSummary(out, totals, statusBefore, lastError, disconnected, uninitialized, released);
  const bool connected = totals.connects > 0 || status == eMETADATA_STATUS_CONNECTED;
  if (connectQueued && !connected) {
    fprintf(stderr, "mdhost: never connected to the server (%s): %s\n", server.c_str(),
            ExplainConnectError(lastError).c_str());
  }
  return connectQueued && connected && disconnected && uninitialized && released ? kExitOk : kExitFailed;
}

int Initialized(PluginModel& model, const RunOptions& options, Waiter& waiter, FILE* out) {
  const int setUp = SetUpChannels(*model, options);
  if (setUp != kExitOk) {
    const bool uninitialized = model->Uninitialize();
    const bool released = model.Release();
    if (!uninitialized) fprintf(stderr, "mdhost: Uninitialize failed\n");
    if (!released) fprintf(stderr, "mdhost: ReleasePluginModel failed\n");
    return setUp;
  }
  RunMonitor monitor(out, options.quiet, options.deviceId);
  model->RegisterMetadataCallbackFunc(&RunMonitor::OnMetadata, &monitor);
  model->RegisterEventCallbackFunc(&RunMonitor::OnEvent, &monitor);
  // The monitor outlives every callback: Connected ends with the model
  // uninitialised and released.
  return Connected(model, options, monitor, waiter, out);
}

}  // namespace

int RunPlugin(const RunOptions& options, FILE* out) {
  // Before the plug-in is loaded, so that none of its threads takes a stop
  // signal and no plug-in call is interrupted.
  Waiter waiter;
  if (!waiter.Ready()) {
    fprintf(stderr, "mdhost: cannot take over SIGINT and SIGTERM: %s\n", strerror(waiter.Error()));
    return kExitFailed;
  }
  const auto library = PluginLibrary::Load(options.pluginPath);
  if (!library) return kExitLoadError;
  const auto model = PluginModel::Create(*library);
  if (!model) return kExitLoadError;

  if (!(*model)->SetDeviceID(options.deviceId)) return Failed(**model, "SetDeviceID");
  const int settings = ApplySourceSettings(**model, options.settings);
  if (settings != kExitOk) return settings;
  if (!(*model)->Initialize()) return Failed(**model, "Initialize");
  return Initialized(*model, options, waiter, out);
}
