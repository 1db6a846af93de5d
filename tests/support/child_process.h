#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace vantix_test {

// A program run as a child process, its standard output and error read
// through pipes while the test waits on it. Every wait has a deadline; a
// child still running when the object goes away is killed and reaped.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (a path) with the rest as arguments; false when it
  // cannot be started.
  bool Start(const std::vector<std::string>& argv);

  // Reads output until standard output or error contains `text`; false
  // when the time runs out or the child ends first.
  bool WaitForStdout(const std::string& text, int timeoutMs);
  bool WaitForStderr(const std::string& text, int timeoutMs);

  // Reads output until `done` says so; false when the time runs out or the
  // child ends first.
  bool WaitForOutput(const std::function<bool()>& done, int timeoutMs);

  // Waits for the child to end, reading its output meanwhile. False when
  // the time runs out; the child is then killed.
  bool Wait(int timeoutMs);

  void Signal(int signal);

  // The exit code, or 128 plus the signal that ended the child.
  int ExitStatus() const { return m_exitStatus; }
  const std::string& Stdout() const { return m_stdout; }
  const std::string& Stderr() const { return m_stderr; }

 private:
  // Reads what the pipes hold, waiting at most `timeoutMs` for something.
  void ReadOutput(int timeoutMs);
  bool Reap(bool block);
  void Kill();

  pid_t m_pid = -1;
  int m_stdoutFd = -1;
  int m_stderrFd = -1;
  bool m_exited = false;
  int m_exitStatus = -1;
  std::string m_stdout;
  std::string m_stderr;
};

struct ToolResult {
  bool finished = false;  // false when the deadline killed it
  int exitStatus = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end, within `timeoutMs`.
ToolResult RunProgram(const std::vector<std::string>& argv, int timeoutMs);

}  // namespace vantix_test
