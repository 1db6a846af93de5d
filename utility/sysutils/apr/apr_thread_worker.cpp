#include "utility/sysutils/apr/apr_thread_worker.h"

namespace SysUtils {

AprThreadWorker::AprThreadWorker()
    : AprThread(POLI_INHERIT, PRIO_INHERIT),
      m_cdRequest(false),
      m_uRequestParam(0),
      m_cdReply(false),
      m_uReplyParam(0),
      m_cdWake(false) {}

// The thread is joined here, before the events it uses go away.
AprThreadWorker::~AprThreadWorker() { wait(); }

bool AprThreadWorker::CreateThread() { return start(POLI_INHERIT, PRIO_INHERIT); }

bool AprThreadWorker::CloseThread() { return wait(); }

bool AprThreadWorker::ThreadExists() { return isRunning(); }

bool AprThreadWorker::CallWorker(uint32_t param, uint32_t* pResult) {
  if (!isRunning()) return false;
  CriticalSectionLock lock(&m_csCallWorker);
  m_uRequestParam = param;
  m_cdRequest.set();
  m_cdWake.set();
  if (!WaitWhileRunning(m_cdReply)) {
    // Withdraw a request that nobody took, so that a restarted thread does
    // not answer a caller who has gone.
    m_cdRequest.reset();
    return false;
  }
  if (pResult != nullptr) *pResult = m_uReplyParam;
  return true;
}

// Waits in slices and gives up once the thread has ended. Whatever the thread
// sets, it sets before its body returns, so after the thread is seen ended
// one last poll finds it.
bool AprThreadWorker::WaitWhileRunning(AprCond& event) {
  while (!event.timedwait(kLivenessSliceMS)) {
    if (!isRunning()) return event.timedwait(0);
  }
  return true;
}

bool AprThreadWorker::CheckRequest(uint32_t* pParam) {
  if (pParam == nullptr) return false;
  if (!m_cdRequest.timedwait(0)) return false;
  *pParam = m_uRequestParam;
  return true;
}

uint32_t AprThreadWorker::GetRequest() {
  m_cdRequest.wait();
  return m_uRequestParam;
}

void AprThreadWorker::Reply(uint32_t param) {
  m_uReplyParam = param;
  m_cdReply.set();
}

bool AprThreadWorker::StopRequested() {
  uint32_t request = 0;
  if (!CheckRequest(&request)) return false;
  const bool stop = request == kStopRequest;
  Reply(stop ? 0 : kUnknownRequestReply);
  return stop;
}

void AprThreadWorker::run() { ThreadProc(); }

}  // namespace SysUtils
