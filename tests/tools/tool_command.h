#pragma once

// The tools under test as child processes. In a cross build they run through
// the same emulator as the tests; CMake hands its command over joined with '|'.

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/wait_until.h"

namespace vantix_test {

inline std::vector<std::string> Tool(const char* tool, const std::vector<std::string>& args) {
  std::vector<std::string> argv;
  std::istringstream emulator(VANTIX_EMULATOR);
  for (std::string part; std::getline(emulator, part, '|');) argv.push_back(part);
  argv.push_back(tool);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}
inline std::vector<std::string> Mdhost(const std::vector<std::string>& args) { return Tool(VANTIX_MDHOST, args); }
inline std::vector<std::string> VantixSim(const std::vector<std::string>& args) { return Tool(VANTIX_SIM, args); }
inline ToolResult RunTool(const std::vector<std::string>& argv) { return RunProgram(argv, 60000); }

inline size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// A row of mdhost's summary: the name, spaces, the value, the end of the line.
inline bool HasSummaryRow(const std::string& out, const std::string& name, const std::string& value) {
  return std::regex_search(out, std::regex("\n  " + name + " +" + value + "\n"));
}

inline bool WaitForStderr(const ChildProcess& child, const std::string& text) {
  return WaitUntil([&] { return child.Stderr().find(text) != std::string::npos; }, 20000);
}

// The port of a vantix-sim started with --port 0, once it listens; 0 if it does not.
inline int PortOf(const ChildProcess& sim) {
  WaitForStderr(sim, "vantix-sim: listening on 127.0.0.1:");
  std::smatch port;
  const std::string log = sim.Stderr();
  return std::regex_search(log, port, std::regex("listening on 127\\.0\\.0\\.1:(\\d+)\n")) ? std::stoi(port[1]) : 0;
}

}  // namespace vantix_test
