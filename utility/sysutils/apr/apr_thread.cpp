#include "utility/sysutils/apr/apr_thread.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>

#include <initializer_list>

namespace SysUtils {

namespace {

const apr_size_t kThreadStackSize = 2097152;

// While it lives, the calling thread blocks every signal that a process
// sends asynchronously, and a thread it creates starts with that mask: a
// library's threads leave the host's signals to the host's own threads. The
// signals that a fault raises in the thread itself stay open.
class AsyncSignalsBlocked {
 public:
  AsyncSignalsBlocked() {
    sigset_t blocked;
    sigfillset(&blocked);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) sigdelset(&blocked, fault);
    pthread_sigmask(SIG_BLOCK, &blocked, &m_previous);
  }
  ~AsyncSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
  AsyncSignalsBlocked(const AsyncSignalsBlocked&) = delete;
  AsyncSignalsBlocked& operator=(const AsyncSignalsBlocked&) = delete;

 private:
  sigset_t m_previous;
};

}  // namespace

AprThread::AprThread(Policy policy, priority_t priority)
    : m_policy(policy),
      m_priority(priority),
      m_thread(nullptr),
      m_attribute(nullptr),
      m_isRunning(false),
      m_isFinished(false) {}

AprThread::~AprThread() {
  wait();
  thePool().clear();
}

bool AprThread::start(Policy policy, priority_t priority) {
  CriticalSectionLock lock(&m_threadCriticalSection);
  if (m_isRunning) return false;
  // A finished thread that nobody joined yet is joined here, so that its
  // handle is not overwritten and lost.
  if (!joinLocked()) return false;
  m_isRunning = true;
  m_isFinished = false;
  m_policy = policy;
  m_priority = priority;
  apr_threadattr_create(&m_attribute, thePool().guts());
  apr_threadattr_detach_set(m_attribute, 0);
  apr_threadattr_stacksize_set(m_attribute, kThreadStackSize);
  apr_status_t status;
  {
    const AsyncSignalsBlocked inherited;
    status = apr_thread_create(&m_thread, m_attribute, threadStart, this, thePool().guts());
  }
  if (status != APR_SUCCESS) {
    fprintf(stderr, "Create thread(%p) failed\n", static_cast<void*>(this));
    m_thread = nullptr;
    m_isRunning = false;
    m_isFinished = false;
    return false;
  }
  return true;
}

bool AprThread::wait() {
  CriticalSectionLock lock(&m_threadCriticalSection);
  return joinLocked();
}

// With m_threadCriticalSection held. A failed join keeps the handle so that
// a later call tries again.
bool AprThread::joinLocked() {
  if (m_thread == nullptr) return true;
  apr_status_t threadStatus;
  if (apr_thread_join(&threadStatus, m_thread) != APR_SUCCESS) return false;
  thePool().clear();
  m_thread = nullptr;
  m_attribute = nullptr;
  return true;
}

bool AprThread::isRunning() const { return m_isRunning; }

bool AprThread::isFinished() const { return m_isFinished; }

int AprThread::schedulerPriority(int minPriority, int maxPriority, priority_t percent) {
  return minPriority + ((maxPriority - minPriority) * percent) / 100;
}

void* APR_THREAD_FUNC AprThread::threadStart(apr_thread_t* thread, void* ctx) {
  AprThread* self = static_cast<AprThread*>(ctx);
  self->setPolicyPriority(self->m_policy, self->m_priority);
  self->run();
  // Reset before the flags change, so that nothing here is written once
  // another thread may see the thread as finished.
  self->m_priority = PRIO_INHERIT;
  self->m_policy = POLI_INHERIT;
  self->m_isFinished = true;
  self->m_isRunning = false;
  apr_thread_exit(thread, APR_SUCCESS);
  return nullptr;
}

bool AprThread::setPolicyPriority(Policy policy, priority_t priority) {
  if (policy == POLI_INHERIT || priority == PRIO_INHERIT) return true;
  int minPriority = sched_get_priority_min(policy);
  int maxPriority = sched_get_priority_max(policy);
  if (minPriority == -1 || maxPriority == -1) {
    fputs("Cannot determine scheduler priority range", stderr);
    return false;
  }
  struct sched_param param = {};
  param.sched_priority = schedulerPriority(minPriority, maxPriority, priority);
  if (pthread_setschedparam(pthread_self(), policy, &param) != 0) {
    fputs("Thread setPolicyPriority Failure\n", stdout);
    return false;
  }
  printf("Thread has been set to policy: %d priority: %d\n", static_cast<int>(policy),
         static_cast<int>(priority));
  return true;
}

}  // namespace SysUtils
