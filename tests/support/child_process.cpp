#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace vantix_test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (m_pid > 0 && !m_exited) Kill();
  CloseFd(&m_stdoutFd);
  CloseFd(&m_stderrFd);
}

bool ChildProcess::Start(const std::vector<std::string>& argv) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int status = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  m_stdoutFd = out[0];
  m_stderrFd = err[0];
  if (status != 0) {
    m_pid = -1;
    return false;
  }
  return true;
}

bool ChildProcess::WaitForStdout(const std::string& text, int timeoutMs) {
  return WaitForOutput([&] { return m_stdout.find(text) != std::string::npos; }, timeoutMs);
}

bool ChildProcess::WaitForStderr(const std::string& text, int timeoutMs) {
  return WaitForOutput([&] { return m_stderr.find(text) != std::string::npos; }, timeoutMs);
}

bool ChildProcess::WaitForOutput(const std::function<bool()>& done, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (m_exited || Clock::now() >= deadline) return false;
    ReadOutput(std::min(MillisecondsLeft(deadline), 50));
    if (Reap(false)) ReadOutput(0);
  }
}

bool ChildProcess::Wait(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!m_exited) {
    if (Clock::now() >= deadline) {
      Kill();
      return false;
    }
    ReadOutput(std::min(MillisecondsLeft(deadline), 50));
    Reap(false);
  }
  // The pipes end with the child: read them to their end, within the deadline.
  while ((m_stdoutFd >= 0 || m_stderrFd >= 0) && Clock::now() < deadline + std::chrono::seconds(1)) ReadOutput(50);
  return true;
}

void ChildProcess::Signal(int signal) {
  if (m_pid > 0 && !m_exited) kill(m_pid, signal);
}

void ChildProcess::ReadOutput(int timeoutMs) {
  pollfd fds[2] = {{m_stdoutFd, POLLIN, 0}, {m_stderrFd, POLLIN, 0}};
  if (m_stdoutFd < 0 && m_stderrFd < 0) {
    if (timeoutMs > 0) usleep(static_cast<useconds_t>(timeoutMs) * 1000);
    return;
  }
  if (poll(fds, 2, timeoutMs) <= 0) return;
  int* fdsOwned[2] = {&m_stdoutFd, &m_stderrFd};
  std::string* texts[2] = {&m_stdout, &m_stderr};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    char buffer[4096];
    const ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
    if (got > 0) {
      texts[i]->append(buffer, static_cast<size_t>(got));
    } else {
      CloseFd(fdsOwned[i]);
    }
  }
}

bool ChildProcess::Reap(bool block) {
  if (m_exited || m_pid <= 0) return m_exited;
  int status = 0;
  if (waitpid(m_pid, &status, block ? 0 : WNOHANG) != m_pid) return false;
  m_exited = true;
  m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

void ChildProcess::Kill() {
  kill(m_pid, SIGKILL);
  Reap(true);
}

ToolResult RunProgram(const std::vector<std::string>& argv, int timeoutMs) {
  ToolResult result;
  ChildProcess child;
  if (!child.Start(argv)) return result;
  result.finished = child.Wait(timeoutMs);
  result.exitStatus = child.ExitStatus();
  result.out = child.Stdout();
  result.err = child.Stderr();
  return result;
}

}  // namespace vantix_test
