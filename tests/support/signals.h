#pragma once

// A host that handles a signal, which the kernel may deliver on any of the process's threads that do
// not block it.

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace vantix_test {

inline pid_t ThreadID() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// While it lives, SIGUSR1 has a handler that does nothing, and it is sent every `periodMS`, at most
// `count` times, to the thread `target`, or to every thread of the process but the sender when
// `target` is 0.
class HandledSignals {
 public:
  HandledSignals(pid_t target, int periodMS, int count) {
    struct sigaction action = {};
    action.sa_handler = [](int) {};
    sigaction(SIGUSR1, &action, &m_saved);
    m_sender = std::thread([=] {
      for (int i = 0; i < count && !m_bStop; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(periodMS));
        target != 0 ? Send(target) : SendToOthers();
      }
    });
  }
  ~HandledSignals() {
    m_bStop = true;
    m_sender.join();
    sigaction(SIGUSR1, &m_saved, nullptr);
  }
  HandledSignals(const HandledSignals&) = delete;
  HandledSignals& operator=(const HandledSignals&) = delete;

 private:
  static void Send(pid_t thread) { syscall(SYS_tgkill, getpid(), thread, SIGUSR1); }
  static void SendToOthers() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      const pid_t thread = static_cast<pid_t>(std::stoi(task.path().filename()));
      if (thread != ThreadID()) Send(thread);
    }
  }

  struct sigaction m_saved = {};
  std::atomic<bool> m_bStop{false};
  std::thread m_sender;
};

}  // namespace vantix_test
