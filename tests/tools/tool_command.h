#pragma once

// Command lines for the tools under test. In a cross build the tools run
// through the same emulator as the tests; CMake hands its command over
// joined with '|'.

#include <string>
#include <vector>

#include "support/child_process.h"

namespace vantix_test {

inline std::vector<std::string> ToolCommand(const std::string& tool, const std::vector<std::string>& args) {
  std::vector<std::string> argv;
  const std::string emulator = VANTIX_EMULATOR;
  size_t start = 0;
  while (start < emulator.size()) {
    const size_t bar = emulator.find('|', start);
    const size_t end = bar == std::string::npos ? emulator.size() : bar;
    if (end > start) argv.push_back(emulator.substr(start, end - start));
    start = end + 1;
  }
  argv.push_back(tool);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

inline std::vector<std::string> Mdhost(const std::vector<std::string>& args) {
  return ToolCommand(VANTIX_MDHOST, args);
}

inline std::vector<std::string> VantixSim(const std::vector<std::string>& args) {
  return ToolCommand(VANTIX_SIM, args);
}

// A shared object built next to the fake plug-in (see tests/tools/CMakeLists.txt).
inline std::string TestLibrary(const std::string& name) {
  return std::string(VANTIX_TEST_LIBRARY_DIR) + "/libtools_" + name + ".so";
}

// Runs a tool to its end; generous for the emulator.
inline ToolResult RunTool(const std::vector<std::string>& argv, int timeoutMs = 30000) {
  return RunProgram(argv, timeoutMs);
}

// Starts vantix-sim on an ephemeral port and returns the port it reports,
// or 0 when it does not come up.
inline int StartSim(ChildProcess* sim, std::vector<std::string> args) {
  args.insert(args.begin(), {"--port", "0"});
  if (!sim->Start(VantixSim(args))) return 0;
  const std::string marker = "listening on 127.0.0.1:";
  const std::string& log = sim->Stderr();
  const auto reported = [&] {
    const size_t at = log.find(marker);
    return at != std::string::npos && log.find('\n', at) != std::string::npos;
  };
  if (!sim->WaitForOutput(reported, 20000)) return 0;
  return atoi(log.c_str() + log.find(marker) + marker.size());
}

}  // namespace vantix_test
