// How long the model takes to notice that the server has gone, and to
// connect again once it is back, against the figures the model is built for:
// a failure window of six seconds and a reconnect interval of ten. The smoke
// pass shortens both through the test seams and measures against those.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "bench/hosted_model.h"
#include "bench/report.h"
#include "support/loopback_server.h"

namespace vantix_bench {

namespace {

class EventWaiter {
 public:
  static void OnEvent(unsigned long long, unsigned int uiEventID, void* pData) {
    EventWaiter* pWaiter = static_cast<EventWaiter*>(pData);
    std::lock_guard<std::mutex> lock(pWaiter->m_mutex);
    pWaiter->m_codes.push_back(uiEventID);
    pWaiter->m_changed.notify_all();
  }
  // Waits for `code` among the events that arrive from now on.
  bool WaitForNext(unsigned int code, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const size_t seen = m_codes.size();
    return m_changed.wait_for(lock, timeout, [&] {
      for (size_t i = seen; i < m_codes.size(); ++i) {
        if (m_codes[i] == code) return true;
      }
      return false;
    });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<unsigned int> m_codes;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `slack` covers what the specified figure leaves open: where in a receive
// time-out the server went, and the passes of the loops.
void AddRecoveryRow(Table& table, const char* sFigure, bool bSeen, double seconds, double specified,
                    double slack) {
  Row row;
  row.strFigure = sFigure;
  row.strPlugin = bSeen ? Format(seconds, 2) : "never";
  row.strBaseline = Format(specified, 2) + " (specified)";
  row.strRatio = bSeen ? Ratio(seconds, specified) : "-";
  row.strTarget = "about " + Format(specified, 1) + " s";
  row.verdict = VerdictOf(bSeen && seconds > specified - slack && seconds < specified + slack);
  table.Add(row);
}

}  // namespace

void MeasureRecovery(const Options& options, Table& table) {
  vantix_test::LoopbackServer server;
  EventWaiter events;
  HostedModel model;
  if (!model.IsUsable() || !model.SetServer(server.Port())) {
    table.Add(Row{"Recovery", "could not configure", "", "", "", Verdict::kMissed});
    return;
  }
  CVantixReceiver::Timing timing;
  uint64_t reconnectIntervalMS = 10000;
  if (options.bSmoke) {
    timing.llRecvTimeoutMS = 200;
    timing.llFailureWindowMS = 600;
    reconnectIntervalMS = 1000;
    model.Concrete().Receiver()->SetTiming(timing);
    model.Concrete().SetWorkerTiming(100, reconnectIntervalMS);
  }
  model.OnEvent(&EventWaiter::OnEvent, &events);
  if (!model.Connect() || !server.AcceptClient(3000)) {
    table.Add(Row{"Recovery", "could not connect", "", "", "", Verdict::kMissed});
    return;
  }
  const double windowSeconds = static_cast<double>(timing.llFailureWindowMS) / 1000.0;
  const double intervalSeconds = static_cast<double>(reconnectIntervalMS) / 1000.0;
  const auto patience = std::chrono::milliseconds(static_cast<int64_t>(3000 * (windowSeconds + intervalSeconds)));

  const auto lossStart = std::chrono::steady_clock::now();
  server.CloseClient();
  server.StopListening();
  const bool bLost = events.WaitForNext(CMetadataModelBase1::kEventConnectionLost, patience);
  const double lostSeconds = SecondsSince(lossStart);

  const auto returnStart = std::chrono::steady_clock::now();
  const bool bListening = server.StartListening();
  const bool bBack = bListening && bLost && events.WaitForNext(CMetadataModelBase1::kEventConnectionMade, patience);
  const double backSeconds = SecondsSince(returnStart);
  if (bBack) server.AcceptClient(1000);

  const double passSlack = 0.3;
  AddRecoveryRow(table, "Time to notice a lost server, s", bLost, lostSeconds, windowSeconds,
                 static_cast<double>(timing.llRecvTimeoutMS) / 1000.0 + passSlack);
  AddRecoveryRow(table, "Time to reconnect once the server is back, s", bBack, backSeconds, intervalSeconds,
                 passSlack);
}

}  // namespace vantix_bench
