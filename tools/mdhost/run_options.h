#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/mdhost/description.h"

struct ChannelOption {
  unsigned long long id = 0;
  std::string camera;
};

// What `mdhost run` is asked to do.
struct RunOptions {
  std::string pluginPath;
  std::vector<ConfigValue> settings;          // --set ID=VALUE, in order
  std::vector<ChannelOption> channels;        // --channel CHID=CAMERA
  std::vector<unsigned long long> disabled;   // --disable CHID
  unsigned long long deviceId = 1;            // --device-id N
  std::optional<double> durationSeconds;      // --duration SECONDS; until a signal when absent
  bool quiet = false;                         // --quiet: the summary only
};

// Parses the arguments that follow "run". On a mistake prints one message
// to standard error and returns false.
bool ParseRunOptions(const std::vector<std::string>& args, RunOptions* options);
