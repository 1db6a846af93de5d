#include "MetadataModelVantix/VantixReceiver.h"

#include <cstring>

#include "MetadataModelBase/PluginModelBase.h"
#include "MetadataModelBase/PluginModelDef.h"
#include "utility/sysutils/common/system.h"

namespace {

std::unique_ptr<SysUtils::AprTcpSocket> OpenConnection(const std::string& host, unsigned short port,
                                                       int64_t llTimeoutMS, apr_status_t* pStatus) {
  std::unique_ptr<SysUtils::AprTcpSocket> pSocket(new SysUtils::AprTcpSocket());
  pSocket->setOption(APR_SO_NONBLOCK, 1);
  pSocket->setTimeOut(llTimeoutMS);
  *pStatus = pSocket->connect(host.c_str(), port);
  return pSocket;
}

void PrepareForReading(SysUtils::AprTcpSocket& socket, const SysUtils::Timing& timing) {
  socket.setOption(APR_SO_NONBLOCK, 1);
  socket.setTimeOut(timing.llRecvTimeoutMS);
  socket.setKeepAlive(timing.iKeepAliveIdleS, timing.iKeepAliveIntervalS, timing.iKeepAliveProbes);
}

}  // namespace

static_assert(sizeof(CMetadataModelBase1::kConnectionLostMarker) <= CVantixReceiver::kRecvBlock + 1,
              "the loss marker is handed on in the receive buffer");

CVantixReceiver::CVantixReceiver(std::shared_ptr<const SysUtils::Timing> pTiming)
    : m_pTiming(std::move(pTiming)),
      m_fnMetadataCallbackFunc(nullptr),
      m_pMetadataCallbackData(nullptr),
      m_pRecvBuffer(new char[kRecvBlock + 1]()),
      m_strHost(kDefaultServerHost),
      m_usPort(0) {}

CVantixReceiver::~CVantixReceiver() {
  // The thread reads members that are about to go.
  Disconnect();
}

int CVantixReceiver::Connect(const std::string& host, unsigned short port) {
  apr_status_t status = APR_SUCCESS;
  {
    SysUtils::CriticalSectionLock lock(&m_csSocket);
    m_pSocket.reset();
    m_pSocket = OpenConnection(host, port, m_pTiming->llConnectTimeoutMS, &status);
    if (status == APR_SUCCESS) {
      m_strHost = host;
      m_usPort = port;
    }
  }
  if (status != APR_SUCCESS) return status;
  return CreateThread() ? 0 : -1;
}

int CVantixReceiver::Disconnect() {
  CallWorker(ePLUGIN_TC_STOP, nullptr);
  CloseThread();
  return 0;
}

void CVantixReceiver::RegisterMetadataCallbackFunc(fnMetadataCallback fn, void* pData) {
  m_fnMetadataCallbackFunc = fn;
  m_pMetadataCallbackData = pData;
}

// --- The reading loop -----------------------------------------------------------

void CVantixReceiver::ThreadProc() {
  LoopState state;
  state.llLastContactUS = apr_time_now();
  {
    SysUtils::CriticalSectionLock lock(&m_csSocket);
    PrepareForReading(*m_pSocket, *m_pTiming);
  }
  while (!StopRequested()) {
    if (RunPass(state) == kPauseThenNextPass) m_pTiming->Sleep(m_pTiming->uiPauseMS);
  }
}

// A pass that handed a block on, dropped one or timed out goes straight to the
// next receive: records that queued up behind a pause would arrive together
// and be dropped as one redundant block. The receive itself waits, so the loop
// does not spin; only failing receives, which return at once, are paced.
CVantixReceiver::PassResult CVantixReceiver::RunPass(LoopState& state) {
  if (!state.bConnected || m_fnMetadataCallbackFunc == nullptr || m_pMetadataCallbackData == nullptr) {
    return kPauseThenNextPass;
  }
  apr_size_t length = kRecvBlock;
  bool bRedundant = false;
  const apr_status_t status = ReceiveBlock(&length, &bRedundant);
  if (bRedundant) return kNextPassAtOnce;
  if (status == APR_SUCCESS) {
    HandOnBlock(length);
    state.llLastContactUS = apr_time_now();
    state.uiTimeouts = 0;
    return kNextPassAtOnce;
  }
  if (status == APR_TIMEUP) {
    OnTimeout(state);
    return kNextPassAtOnce;
  }
  return OnFailure(state) ? kNextPassAtOnce : kPauseThenNextPass;
}

// The block is terminated right behind what was received, so the filter and
// the callback see exactly the block; a time-out or failure leaves the empty
// text, which is never redundant.
apr_status_t CVantixReceiver::ReceiveBlock(apr_size_t* pLength, bool* pbRedundant) {
  char* pBuffer = m_pRecvBuffer.get();
  *pLength = kRecvBlock;
  SysUtils::CriticalSectionLock lock(&m_csSocket);
  const apr_status_t status = m_pSocket->recv(pBuffer, pLength);
  if (status != APR_SUCCESS || *pLength > kRecvBlock) *pLength = 0;
  pBuffer[*pLength] = '\0';
  *pbRedundant = IsRedundantEvent(pBuffer);
  return status;
}

void CVantixReceiver::HandOnBlock(apr_size_t length) {
  m_fnMetadataCallbackFunc(m_pRecvBuffer.get(), static_cast<int>(length), m_pMetadataCallbackData);
}

// An open but silent connection is never reported; it is rebuilt quietly.
void CVantixReceiver::OnTimeout(LoopState& state) {
  state.llLastContactUS = apr_time_now();
  if (++state.uiTimeouts <= m_pTiming->uiSilenceLimit) return;
  {
    SysUtils::CriticalSectionLock lock(&m_csSocket);
    RebuildSocketLocked();
  }
  state.uiTimeouts = 0;
}

// Failing receives are tolerated for the failure window. Then a server that
// still accepts a connection gets one in place of the dead socket; only a
// server that cannot be reached is reported lost. True when the socket was
// replaced: what the server sends on the fresh connection is read at once.
bool CVantixReceiver::OnFailure(LoopState& state) {
  const apr_time_t llSilentUS = apr_time_now() - state.llLastContactUS;
  if (llSilentUS < m_pTiming->llFailureWindowMS * SysUtils::kMicrosPerMilli) return false;
  bool bReplaced = false;
  {
    SysUtils::CriticalSectionLock lock(&m_csSocket);
    bReplaced = ReplaceByProbeLocked();
  }
  state.llLastContactUS = apr_time_now();
  if (bReplaced) {
    // A fresh connection gets a fresh window.
    state.uiTimeouts = 0;
    return true;
  }
  state.bConnected = false;
  ReportConnectionLost();
  return false;
}

void CVantixReceiver::ReportConnectionLost() {
  memcpy(m_pRecvBuffer.get(), CMetadataModelBase1::kConnectionLostMarker,
         sizeof(CMetadataModelBase1::kConnectionLostMarker));
  m_fnMetadataCallbackFunc(m_pRecvBuffer.get(), CMetadataModelBase1::kConnectionLostMarkerLength,
                           m_pMetadataCallbackData);
}

// A failed attempt is not looked at here: the receives on the unconnected
// socket fail, and the failure window takes over.
void CVantixReceiver::RebuildSocketLocked() {
  m_pSocket.reset();
  apr_status_t status = APR_SUCCESS;
  InstallSocketLocked(OpenConnection(m_strHost, m_usPort, m_pTiming->llConnectTimeoutMS, &status));
}

// The probe waits for the handshake: a non-blocking attempt that does not
// wait only ever reports the connection as in progress, never as made.
bool CVantixReceiver::ReplaceByProbeLocked() {
  apr_status_t status = APR_SUCCESS;
  std::unique_ptr<SysUtils::AprTcpSocket> pProbe =
      OpenConnection(m_strHost, m_usPort, m_pTiming->llConnectTimeoutMS, &status);
  if (status != APR_SUCCESS) return false;
  InstallSocketLocked(std::move(pProbe));
  return true;
}

void CVantixReceiver::InstallSocketLocked(std::unique_ptr<SysUtils::AprTcpSocket> pSocket) {
  PrepareForReading(*pSocket, *m_pTiming);
  m_pSocket = std::move(pSocket);
}

// --- The block filter -------------------------------------------------------------

// Reads at most two lines, a line ending after its line feed or at the end
// of the text.
bool IsRedundantEvent(char* text) {
  if (text == nullptr) return false;
  const char* pLine = text;
  int iLines = 0;
  while (iLines < 2 && *pLine != '\0') {
    const char* pLineFeed = strchr(pLine, '\n');
    pLine = (pLineFeed != nullptr) ? pLineFeed + 1 : pLine + strlen(pLine);
    ++iLines;
  }
  return iLines == 2;
}
