#include "tools/mdhost/run_options.h"

#include <algorithm>

#include "tools/common/command_line.h"

namespace {

// The host records hold at most this many bytes of an identifier and of a
// value; a longer one would be cut without notice.
const size_t kMaxIdLength = 64;
const size_t kMaxValueLength = 256;

// NAME=VALUE split at its first '='; false when NAME is empty.
bool SplitPair(const std::string& text, std::string* name, std::string* value) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  *name = text.substr(0, equals);
  *value = text.substr(equals + 1);
  return true;
}

std::string CheckSetting(std::string& text) {
  std::string id;
  std::string value;
  if (!SplitPair(text, &id, &value)) return "wants ID=VALUE, not '" + text + "'";
  if (id.size() > kMaxIdLength) return "the identifier is longer than 64 bytes: " + id;
  if (value.size() > kMaxValueLength) return "the value of " + id + " is longer than 256 bytes";
  return "";
}

std::string CheckChannel(std::string& text) {
  std::string id;
  std::string camera;
  if (!SplitPair(text, &id, &camera) || !Decimal()(id).empty()) {
    return "wants CHID=CAMERA with a decimal channel id, not '" + text + "'";
  }
  if (camera.size() > kMaxValueLength) return "the camera value is longer than 256 bytes";
  return "";
}

bool HasChannel(const RunOptions& options, unsigned long long id) {
  return std::any_of(options.channels.begin(), options.channels.end(),
                     [id](const ChannelOption& channel) { return channel.id == id; });
}

}  // namespace

void AddRunOptions(CLI::App* run, RunCommandLine* line) {
  run->add_option("PLUGIN", line->pluginPath, "the plug-in's shared object")->required();
  run->add_option("--set", line->settings, "a source setting")
      ->type_name("ID=VALUE")
      ->check(CLI::Validator(CheckSetting, ""));
  run->add_option("--channel", line->channels, "add a channel; the camera goes into its kind's first setting")
      ->type_name("CHID=CAMERA")
      ->check(CLI::Validator(CheckChannel, ""));
  run->add_option("--disable", line->disabled, "disable a channel that --channel adds")
      ->type_name("CHID")
      ->transform(Decimal());
  run->add_option("--device-id", line->deviceId, "the device identifier")
      ->capture_default_str()
      ->type_name("N")
      ->transform(Decimal());
  run->add_option("--duration", line->durationSeconds,
                  "end after this long; until Ctrl-C or SIGTERM without it")
      ->type_name("SECONDS")
      ->check(Positive());
  run->add_flag("--quiet", line->quiet, "print the summary only");
}

std::string MakeRunOptions(const RunCommandLine& line, RunOptions* options) {
  options->pluginPath = line.pluginPath;
  for (const std::string& text : line.settings) {
    ConfigValue setting;
    SplitPair(text, &setting.id, &setting.value);
    options->settings.push_back(setting);
  }
  for (const std::string& text : line.channels) {
    std::string id;
    ChannelOption channel;
    SplitPair(text, &id, &channel.camera);
    channel.id = DecimalValue(id);
    if (HasChannel(*options, channel.id)) return "--channel: channel " + id + " is given twice";
    options->channels.push_back(channel);
  }
  for (unsigned long long id : line.disabled) {
    if (!HasChannel(*options, id))
      return "--disable " + std::to_string(id) + ": no --channel adds that channel";
  }
  options->disabled = line.disabled;
  options->deviceId = line.deviceId;
  if (line.durationSeconds > 0) options->durationSeconds = line.durationSeconds;
  options->quiet = line.quiet;
  return "";
}
