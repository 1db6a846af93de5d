#pragma once

#include <cstdint>

#include "utility/sysutils/apr/apr_cond.h"
#include "utility/sysutils/apr/apr_thread.h"
#include "utility/sysutils/common/critical_section.h"

namespace SysUtils {

// A thread with one request slot and one reply slot. Its ThreadProc polls
// CheckRequest (or StopRequested) and answers every request it takes with
// exactly one Reply. Owners stop it with CallWorker(kStopRequest, nullptr)
// and join it with CloseThread(); a derived class must have its thread
// stopped before it is destroyed.
class AprThreadWorker : public AprThread {
 public:
  AprThreadWorker();
  ~AprThreadWorker() override;

  AprThreadWorker(const AprThreadWorker&) = delete;
  AprThreadWorker& operator=(const AprThreadWorker&) = delete;

  bool CreateThread();
  bool CloseThread();
  bool ThreadExists();
  // Posts a request and waits for its reply, one caller at a time. False at
  // once when the thread is not running, and false when the thread ends
  // without replying; *pResult is written only on true.
  bool CallWorker(uint32_t param, uint32_t* pResult) EXCLUDES(m_csCallWorker);
  // Waits for `event` while the thread runs: true once it is set, false when
  // the thread has ended without setting it.
  bool WaitWhileRunning(AprCond& event);

  // How long a wait for the thread lasts before it looks again whether the
  // thread still runs.
  static constexpr int64_t kLivenessSliceMS = 100;
  // The stop request that StopRequested recognises, and its reply to any
  // other request.
  static constexpr uint32_t kStopRequest = 0;
  static constexpr uint32_t kUnknownRequestReply = 0xFFFFFFFFu;

 protected:
  // Takes a pending request without blocking.
  bool CheckRequest(uint32_t* pParam);
  // Waits without limit for a request.
  uint32_t GetRequest();
  void Reply(uint32_t param);
  // Answers a pending request without blocking: true once the stop request
  // has been replied 0; any other request is replied kUnknownRequestReply
  // and, like no request at all, yields false.
  bool StopRequested();

  virtual void ThreadProc() = 0;
  // For a ThreadProc that waits between polls: the event that wakes it. A
  // posted request sets it, and so may the derived class.
  AprCond& WakeEvent() { return m_cdWake; }

 private:
  void run() override;

  // Held by a caller for a whole round trip.
  CriticalSection m_csCallWorker;
  // The request and reply values are written before their event is set and
  // read after it was waited for: the event's own mutex orders them.
  AprCond m_cdRequest;
  uint32_t m_uRequestParam;
  AprCond m_cdReply;
  uint32_t m_uReplyParam;
  AprCond m_cdWake;
};

}  // namespace SysUtils
