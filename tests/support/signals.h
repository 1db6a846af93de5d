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

// While it lives, SIGUSR1 has a handler that does nothing, and it is sent every `periodMS`, at most
// `count` times, to every thread of the process but the sender.
class HandledSignals {
 public:
  HandledSignals(int periodMS, int count) {
    struct sigaction action = {};
    action.sa_handler = [](int) {};
    sigaction(SIGUSR1, &action, &m_saved);
    m_sender = std::thread([=] {
      const long self = syscall(SYS_gettid);
      for (int i = 0; i < count && !m_bStop; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(periodMS));
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
          const long thread = std::stol(task.path().filename());
          if (thread != self) syscall(SYS_tgkill, getpid(), thread, SIGUSR1);
        }
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
  struct sigaction m_saved = {};
  std::atomic<bool> m_bStop{false};
  std::thread m_sender;
};

}  // namespace vantix_test
