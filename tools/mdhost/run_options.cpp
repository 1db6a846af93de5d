#include "tools/mdhost/run_options.h"

#include <cstdio>

#include "tools/common/number_text.h"

namespace {

// The host records hold at most this many bytes of an identifier and of a
// value; a longer one would be cut without notice.
const size_t kMaxIdLength = 64;
const size_t kMaxValueLength = 256;

bool Fail(const std::string& message) {
  fprintf(stderr, "mdhost: %s\n", message.c_str());
  return false;
}

// Splits NAME=VALUE at its first '='; NAME must not be empty.
bool SplitPair(const std::string& text, std::string* name, std::string* value) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  *name = text.substr(0, equals);
  *value = text.substr(equals + 1);
  return true;
}

bool ParseSetting(const std::string& text, RunOptions* options) {
  ConfigValue setting;
  if (!SplitPair(text, &setting.id, &setting.value)) return Fail("--set wants ID=VALUE, not '" + text + "'");
  if (setting.id.size() > kMaxIdLength) return Fail("--set: the identifier is longer than 64 bytes: " + setting.id);
  if (setting.value.size() > kMaxValueLength) {
    return Fail("--set: the value of " + setting.id + " is longer than 256 bytes");
  }
  options->settings.push_back(setting);
  return true;
}

bool IsChannel(const RunOptions& options, unsigned long long id) {
  for (const ChannelOption& channel : options.channels) {
    if (channel.id == id) return true;
  }
  return false;
}

bool ParseChannel(const std::string& text, RunOptions* options) {
  std::string id;
  ChannelOption channel;
  if (!SplitPair(text, &id, &channel.camera) || !ParseUnsignedText(id, &channel.id)) {
    return Fail("--channel wants CHID=CAMERA with a decimal channel id, not '" + text + "'");
  }
  if (channel.camera.size() > kMaxValueLength) return Fail("--channel: the camera value is longer than 256 bytes");
  if (IsChannel(*options, channel.id)) return Fail("--channel: channel " + id + " is given twice");
  options->channels.push_back(channel);
  return true;
}

bool ParseDisabled(const std::string& text, RunOptions* options) {
  unsigned long long id = 0;
  if (!ParseUnsignedText(text, &id)) return Fail("--disable wants a decimal channel id, not '" + text + "'");
  options->disabled.push_back(id);
  return true;
}

bool ParseOption(const std::string& name, const std::string& value, RunOptions* options) {
  if (name == "--set") return ParseSetting(value, options);
  if (name == "--channel") return ParseChannel(value, options);
  if (name == "--disable") return ParseDisabled(value, options);
  if (name == "--device-id") {
    return ParseUnsignedText(value, &options->deviceId) ||
           Fail("--device-id wants a decimal number, not '" + value + "'");
  }
  double seconds = 0;
  if (!ParsePositiveText(value, &seconds)) {
    return Fail("--duration wants a positive number of seconds, not '" + value + "'");
  }
  options->durationSeconds = seconds;
  return true;
}

bool TakesValue(const std::string& name) {
  return name == "--set" || name == "--channel" || name == "--disable" || name == "--device-id" ||
         name == "--duration";
}

// Every --disable must name a channel that --channel adds.
bool CheckDisabled(const RunOptions& options) {
  for (unsigned long long id : options.disabled) {
    if (!IsChannel(options, id)) return Fail("--disable " + std::to_string(id) + ": no --channel adds that channel");
  }
  return true;
}

}  // namespace

bool ParseRunOptions(const std::vector<std::string>& args, RunOptions* options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--quiet") {
      options->quiet = true;
    } else if (TakesValue(arg)) {
      if (i + 1 == args.size()) return Fail(arg + " wants a value");
      if (!ParseOption(arg, args[++i], options)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option " + arg);
    } else if (options->pluginPath.empty()) {
      options->pluginPath = arg;
    } else {
      return Fail("more than one plug-in given: " + arg);
    }
  }
  if (options->pluginPath.empty()) return Fail("run wants the path of a plug-in");
  return CheckDisabled(*options);
}
