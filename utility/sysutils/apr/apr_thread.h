#pragma once

#include <apr_thread_proc.h>

#include <atomic>
#include <cstdint>

#include "utility/sysutils/apr/apr_object.h"
#include "utility/sysutils/common/critical_section.h"

namespace SysUtils {

// Priority in percent of a scheduling policy's priority range, or -1.
typedef int32_t priority_t;

// A joinable thread whose body is run().
class AprThread : public AprObject {
 public:
  // The non-negative values are the operating system's policy numbers.
  enum Policy : int32_t {
    POLI_INHERIT = -1,
    POLI_OTHER = 0,
    POLI_FIFO = 1,
    POLI_RR = 2,
  };
  static constexpr priority_t PRIO_INHERIT = -1;

  AprThread(Policy policy, priority_t priority);
  // Joins the thread; it does not ask it to stop.
  ~AprThread() override;

  // False when a thread is running or cannot be created. A thread that has
  // finished but was not joined yet is joined first.
  bool start(Policy policy, priority_t priority);
  // True when there was nothing to join or the join succeeded.
  bool wait();
  bool isRunning() const;
  bool isFinished() const;

  // The scheduler priority that `percent` of the range [minPriority,
  // maxPriority] stands for.
  static int schedulerPriority(int minPriority, int maxPriority, priority_t percent);

 protected:
  virtual void run() = 0;

 private:
  static void* APR_THREAD_FUNC threadStart(apr_thread_t* thread, void* ctx);
  bool setPolicyPriority(Policy policy, priority_t priority);
  bool joinLocked();

  Policy m_policy;
  priority_t m_priority;
  CriticalSection m_threadCriticalSection;
  apr_thread_t* m_thread;
  apr_threadattr_t* m_attribute;
  // Read by other threads without the lock.
  std::atomic<bool> m_isRunning;
  std::atomic<bool> m_isFinished;
};

}  // namespace SysUtils
