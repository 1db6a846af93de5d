#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/wait_until.h"

extern char** environ;

namespace vantix_test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  char folder[] = "/tmp/vantix_child.XXXXXX";
  if (mkdtemp(folder) == nullptr) return;
  m_folder = folder;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (m_folder + "/out").c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (m_folder + "/err").c_str(), O_WRONLY | O_CREAT, 0600);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
  Signal(SIGKILL);
  Reap(true);
  for (const char* name : {"/out", "/err", ""}) {
    if (!m_folder.empty()) remove((m_folder + name).c_str());
  }
}

bool ChildProcess::Wait(int timeoutMs) {
  return WaitUntil([this] { return Reap(false); }, timeoutMs);
}

void ChildProcess::Signal(int signal) {
  if (m_pid > 0) kill(m_pid, signal);
}

bool ChildProcess::Reap(bool block) {
  int status = 0;
  if (m_pid <= 0 || waitpid(m_pid, &status, block ? 0 : WNOHANG) != m_pid) return m_pid == 0;
  m_pid = 0;
  m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

std::string ChildProcess::Read(const char* name) const {
  std::ifstream file(m_folder + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

ToolResult RunProgram(const std::vector<std::string>& argv, int timeoutMs) {
  ChildProcess child(argv);
  return ToolResult{child.Wait(timeoutMs) ? child.ExitStatus() : -1, child.Stdout(), child.Stderr()};
}

}  // namespace vantix_test
