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
#include "utility/sysutils/common/critical_section.h"

class CVantixReceiver : public SysUtils::AprThreadWorker {
 public:
  typedef void (*fnMetadataCallback)(const char* sText, int iLength, void* pData);

  // The receiver's clocks. The product keeps the defaults; tests shorten
  // them to keep the suite quick.
  struct Timing {
    int64_t llConnectTimeoutMS = 3000;  // every connection attempt
    int64_t llRecvTimeoutMS = 1000;     // every receive
    uint32_t uiPauseMS = 100;           // after a failed receive, and while lost
    unsigned int uiSilenceLimit = 600;  // time-outs in a row before a rebuild
    int64_t llFailureWindowMS = 6000;   // failing receives before a probe
  };

  static const size_t kRecvBlock = 1024;
  // The server address until a Connect succeeds, and the model's until the
  // host configures one.
  static constexpr char kDefaultServerHost[] = "127.0.0.1";

  CVantixReceiver();
  virtual ~CVantixReceiver();

  // 0 on success (the reading thread runs), -1 for an empty host, port 0 or
  // a thread that cannot start, otherwise the runtime's status of the failed
  // resolution or connection attempt.
  int Connect(const std::string& host, unsigned short port);
  // Stops the reading thread and waits for its end; the connection stays
  // open until the next Connect or destruction. Returns 0.
  int Disconnect();
  // Called once, before the first Connect.
  void RegisterMetadataCallbackFunc(fnMetadataCallback fn, void* pData);

  // Takes effect from the next Connect on.
  void SetTiming(const Timing& timing);

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

  PassResult RunPass(LoopState& state, const Timing& timing);
  apr_status_t ReceiveBlock(apr_size_t* pLength, bool* pbRedundant);
  void HandOnBlock(apr_size_t length);
  void OnTimeout(LoopState& state, const Timing& timing);
  bool OnFailure(LoopState& state, const Timing& timing);
  void ReportConnectionLost();
  Timing CurrentTiming();

  // Socket replacement; the caller holds m_csSocket.
  void RebuildSocket(const Timing& timing);
  bool ReplaceByProbe(const Timing& timing);
  void InstallSocket(std::unique_ptr<SysUtils::AprTcpSocket> pSocket, const Timing& timing);

  fnMetadataCallback m_fnMetadataCallbackFunc;
  void* m_pMetadataCallbackData;
  std::unique_ptr<char[]> m_pRecvBuffer;
  // Guards m_pSocket (every receive and every replacement), the server
  // address and the timing.
  SysUtils::CriticalSection m_csSocket;
  // Null only until the first Connect, which installs a socket before it
  // starts the thread; every replacement installs the next one under the
  // lock, so the reading loop always finds one.
  std::unique_ptr<SysUtils::AprTcpSocket> m_pSocket;
  std::string m_strHost;
  unsigned short m_usPort;
  Timing m_timing;
};

// True when a line feed stands before the last byte of text: such a block
// holds more than one line and is dropped.
bool IsRedundantEvent(char* text);
