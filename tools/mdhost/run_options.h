#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/mdhost/description.h"

namespace CLI {
class App;
}

struct ChannelOption {
  unsigned long long id = 0;
  std::string camera;
};

// What `mdhost run` is asked to do.
struct RunOptions {
  std::string pluginPath;
  std::vector<ConfigValue> settings;         // --set ID=VALUE, in order
  std::vector<ChannelOption> channels;       // --channel CHID=CAMERA
  std::vector<unsigned long long> disabled;  // --disable CHID
  unsigned long long deviceId = 1;           // --device-id N
  std::optional<double> durationSeconds;     // --duration SECONDS; until a signal when absent
  bool quiet = false;                        // --quiet: the summary only
};

// The options of `mdhost run` as CLI11 fills them in, each value checked on
// its own.
struct RunCommandLine {
  std::string pluginPath;
  std::vector<std::string> settings;
  std::vector<std::string> channels;
  std::vector<unsigned long long> disabled;
  unsigned long long deviceId = 1;
  double durationSeconds = 0;
  bool quiet = false;
};

void AddRunOptions(CLI::App* run, RunCommandLine* line);

// The checks that involve more than one option, then the conversion. Returns
// the mistake, or an empty text when there is none.
std::string MakeRunOptions(const RunCommandLine& line, RunOptions* options);
