#pragma once

// The tools under test as child processes. In a cross build they run through
// the same emulator as the tests; CMake hands its command over joined with '|'.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/stream_capture.h"
#include "support/wait_until.h"

extern char** environ;

namespace vantix_test {

using Argv = std::vector<std::string>;

inline std::string FileContents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Passes when `text` holds `part`; a failure shows the whole text.
inline ::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// A program started as a child (argv[0] a path), its standard output and
// error going to anonymous files that can be read at any time. A child still
// running when the object goes away is killed and reaped.
class ChildProcess {
 public:
  // Starts the program; given `waitMs`, also waits that long for its end.
  explicit ChildProcess(const Argv& argv, int waitMs = 0) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, m_out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, m_err, STDERR_FILENO);
    if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) m_pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    if (waitMs > 0) Wait(waitMs);
  }
  ~ChildProcess() {
    if (m_pid > 0 && kill(m_pid, SIGKILL) == 0) waitpid(m_pid, nullptr, 0);
    close(m_out);
    close(m_err);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when the time runs out.
  bool Wait(int timeoutMs) {
    return WaitUntil([this] { return Reaped(); }, timeoutMs);
  }
  void Signal(int signal) {
    if (m_pid > 0) kill(m_pid, signal);
  }
  // The exit code, or 128 plus the signal that ended the child; -1 before.
  int ExitStatus() const { return m_exitStatus; }
  std::string Stdout() const { return FileContents("/proc/self/fd/" + std::to_string(m_out)); }
  std::string Stderr() const { return FileContents("/proc/self/fd/" + std::to_string(m_err)); }

 private:
  bool Reaped() {
    int status = 0;
    if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid) return m_pid == 0;
    m_pid = 0;
    m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
  }

  const int m_out = memfd_create("stdout", MFD_CLOEXEC);
  const int m_err = memfd_create("stderr", MFD_CLOEXEC);
  pid_t m_pid = 0;  // 0 once reaped or when it could not be started
  int m_exitStatus = -1;
};

inline Argv Tool(const char* tool, const Argv& args) {
  Argv argv;
  std::istringstream emulator(VANTIX_EMULATOR);
  for (std::string part; std::getline(emulator, part, '|');) argv.push_back(part);
  argv.push_back(tool);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}
inline Argv Mdhost(const Argv& args) { return Tool(VANTIX_MDHOST, args); }
inline Argv VantixSim(const Argv& args) { return Tool(VANTIX_SIM, args); }

// Long enough for any tool run of the tests to end by itself, also emulated.
const int kRunToEnd = 60000;

// A row of mdhost's summary: the name, spaces, the value, the end of the line.
inline bool HasSummaryRow(const std::string& out, const std::string& name, const std::string& value) {
  return std::regex_search(out, std::regex("\n  " + name + " +" + value + "\n"));
}

inline bool WaitForStderr(const ChildProcess& child, const std::string& text) {
  return WaitUntil([&] { return child.Stderr().find(text) != std::string::npos; }, 20000);
}

// The port of a vantix-sim started with --port 0, once it listens; 0 if it does not.
inline int PortOf(const ChildProcess& sim) {
  const std::regex listening("listening on 127\\.0\\.0\\.1:(\\d+)\n");
  std::string log;
  std::smatch port;
  WaitUntil([&] { return std::regex_search(log = sim.Stderr(), port, listening); }, 20000);
  return port.empty() ? 0 : std::stoi(port[1]);
}

}  // namespace vantix_test
