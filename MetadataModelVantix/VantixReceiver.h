#pragma once

// The wire side of the model: one TCP connection to the face-recognition
// server, read on a thread of its own. Every block that holds at most one
// line is handed, NUL-terminated and with its length, to the registered
// callback; a dead connection is reported through the same callback as the
// text "##CONNECTION_LOST##".

#include <apr_network_io.h>
#include <apr_time.h>

#include <cstdint>
#include <memory>
#include <string>

#include "utility/sysutils/apr/apr_socket.h"
#include "utility/sysutils/apr/apr_thread_worker.h"
#include "utility/sysutils/apr/apr_timing.h"
#include "utility/sysutils/common/critical_section.h"

class CVantixReceiver : public SysUtils::AprThreadWorker {
 public:
  typedef void (*fnMetadataCallback)(const char* sText, int iLength, void* pData);

  static const size_t kRecvBlock = 1024;
  // The server address until a Connect succeeds, and the model's until the
  // host configures one.
  static constexpr char kDefaultServerHost[] = "127.0.0.1";

  // Keeps to `pTiming` from its first Connect on.
  explicit CVantixReceiver(std::shared_ptr<const SysUtils::Timing> pTiming);
  virtual ~CVantixReceiver();

  // 0 on success (the reading thread runs), -1 for an empty host, port 0 or
  // a thread that cannot start, otherwise the runtime's status of the failed
  // resolution or connection attempt.
  int Connect(const std::string& host, unsigned short port) EXCLUDES(m_csSocket);
  // Stops the reading thread and waits for its end; the connection stays
  // open until the next Connect or destruction. Returns 0.
  int Disconnect();
  // Called once, before the first Connect: the callback and its data are
  // read by the reading thread without a lock.
  void RegisterMetadataCallbackFunc(fnMetadataCallback fn, void* pData);

 protected:
  virtual void ThreadProc() override;

 private:
  // What one run of the reading loop keeps between passes.
  struct LoopState {
    bool bConnected = true;
    apr_time_t llLastContactUS = 0;
    unsigned int uiTimeouts = 0;
  };

  enum PassResult { kNextPassAtOnce, kPauseThenNextPass };

  PassResult RunPass(LoopState& state) EXCLUDES(m_csSocket);
  apr_status_t ReceiveBlock(apr_size_t* pLength, bool* pbRedundant) EXCLUDES(m_csSocket);
  void HandOnBlock(apr_size_t length);
  void OnTimeout(LoopState& state) EXCLUDES(m_csSocket);
  bool OnFailure(LoopState& state) EXCLUDES(m_csSocket);
  void ReportConnectionLost();

  void RebuildSocketLocked() REQUIRES(m_csSocket);
  bool ReplaceByProbeLocked() REQUIRES(m_csSocket);
  void InstallSocketLocked(std::unique_ptr<SysUtils::AprTcpSocket> pSocket) REQUIRES(m_csSocket);

  // Fixed before the first Connect.
  const std::shared_ptr<const SysUtils::Timing> m_pTiming;
  fnMetadataCallback m_fnMetadataCallbackFunc;
  void* m_pMetadataCallbackData;
  // The reading thread's alone while it runs.
  std::unique_ptr<char[]> m_pRecvBuffer;
  // Guards the socket, every receive on it and every replacement, and the
  // server address that replacements connect to.
  SysUtils::CriticalSection m_csSocket;
  // Null only until the first Connect, which installs a socket before it
  // starts the thread; every replacement installs the next one under the
  // lock, so the reading loop always finds one.
  std::unique_ptr<SysUtils::AprTcpSocket> m_pSocket GUARDED_BY(m_csSocket);
  std::string m_strHost GUARDED_BY(m_csSocket);
  unsigned short m_usPort GUARDED_BY(m_csSocket);
};

// True when a line feed stands before the last byte of text: such a block
// holds more than one line and is dropped.
bool IsRedundantEvent(char* text);
