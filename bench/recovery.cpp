// How long the model takes to notice that the server has gone, and to
// connect again once it is back, against the figures the model is built for:
// a failure window of six seconds and a reconnect interval of ten. The smoke
// pass shortens both through the test seams and measures against those.

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/report.h"
#include "support/hosted_model.h"

namespace vantix_bench {

namespace {

using vantix_test::HostedModel;

// Waits for `code` among the events recorded after the first `seen`.
bool WaitForEventAfter(const vantix_test::EventRecorder& events, size_t seen, unsigned int code,
                       std::chrono::milliseconds timeout) {
  return vantix_test::WaitUntil(
      [&] {
        const std::vector<unsigned int> codes = events.Codes();
        return std::find(codes.begin() + std::min(seen, codes.size()), codes.end(), code) != codes.end();
      },
      timeout);
}

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
  std::shared_ptr<SysUtils::Timing> pTiming = std::make_shared<SysUtils::Timing>();
  if (options.bSmoke) {
    pTiming->llRecvTimeoutMS = 200;
    pTiming->llFailureWindowMS = 600;
    pTiming->ullReconnectIntervalMS = 1000;
  }
  vantix_test::LoopbackServer server;
  HostedModel model(pTiming);
  if (!model.IsReady() || !model.ConnectTo(server)) {
    table.Add(Row{"Recovery", "could not connect", "", "", "", Verdict::kMissed});
    return;
  }
  const double windowSeconds = static_cast<double>(pTiming->llFailureWindowMS) / 1000.0;
  const double intervalSeconds = static_cast<double>(pTiming->ullReconnectIntervalMS) / 1000.0;
  const auto patience =
      std::chrono::milliseconds(static_cast<int64_t>(3000 * (windowSeconds + intervalSeconds)));

  const size_t eventsBeforeLoss = model.events.Count();
  const auto lossStart = std::chrono::steady_clock::now();
  server.CloseClient();
  server.StopListening();
  const bool bLost =
      WaitForEventAfter(model.events, eventsBeforeLoss, CMetadataModelBase1::kEventConnectionLost, patience);
  const double lostSeconds = SecondsSince(lossStart);

  const size_t eventsBeforeReturn = model.events.Count();
  const auto returnStart = std::chrono::steady_clock::now();
  const bool bListening = server.StartListening();
  const bool bBack = bListening && bLost &&
                     WaitForEventAfter(model.events, eventsBeforeReturn,
                                       CMetadataModelBase1::kEventConnectionMade, patience);
  const double backSeconds = SecondsSince(returnStart);
  if (bBack) server.AcceptClient(1000);

  const double passSlack = 0.3;
  AddRecoveryRow(table, "Time to notice a lost server, s", bLost, lostSeconds, windowSeconds,
                 static_cast<double>(pTiming->llRecvTimeoutMS) / 1000.0 + passSlack);
  AddRecoveryRow(table, "Time to reconnect once the server is back, s", bBack, backSeconds, intervalSeconds,
                 passSlack);
}

}  // namespace vantix_bench
