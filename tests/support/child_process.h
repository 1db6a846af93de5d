#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantix_test {

// A program started as a child process (argv[0] a path), its standard output
// and error going to files of its own. A child still running when the object
// goes away is killed and reaped, and its files are removed.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for the end; false when the time runs out.
  bool Wait(int timeoutMs);
  void Signal(int signal);
  // The exit code, or 128 plus the signal that ended the child; -1 before.
  int ExitStatus() const { return m_exitStatus; }
  std::string Stdout() const { return Read("/out"); }
  std::string Stderr() const { return Read("/err"); }

 private:
  bool Reap(bool block);
  std::string Read(const char* name) const;

  pid_t m_pid = -1;  // 0 once reaped
  int m_exitStatus = -1;
  std::string m_folder;
};

struct ToolResult {
  int exitStatus = -1;  // -1 when it did not end in time
  std::string out;
  std::string err;
};

// Runs a program to its end, within `timeoutMs`.
ToolResult RunProgram(const std::vector<std::string>& argv, int timeoutMs);

}  // namespace vantix_test
