// What connected models cost while the server sends nothing: CPU time,
// resident memory, address space and threads. The baseline is a bare
// blocking reader on an idle connection of its own.

#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bare_reader.h"
#include "bench/report.h"
#include "support/hosted_model.h"

namespace vantix_bench {

namespace {

const int kModels = 16;
// 0.1% of one core.
const double kTargetMSPerMinute = 60;
const double kTargetResidentKiB = 1024;

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Footprint {
  double residentKiB = 0;
  double virtualKiB = 0;
  double threads = 0;
};

Footprint ProcessFootprint() {
  Footprint footprint;
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    double value = 0;
    if (key == "VmRSS:" && status >> value) footprint.residentKiB = value;
    if (key == "VmSize:" && status >> value) footprint.virtualKiB = value;
    if (key == "Threads:" && status >> value) footprint.threads = value;
  }
  return footprint;
}

Footprint PerUnit(const Footprint& before, const Footprint& after, int units) {
  Footprint per;
  per.residentKiB = (after.residentKiB - before.residentKiB) / units;
  per.virtualKiB = (after.virtualKiB - before.virtualKiB) / units;
  per.threads = (after.threads - before.threads) / units;
  return per;
}

// CPU milliseconds per minute that the process spends over `seconds` of
// wall time while this thread sleeps.
double CpuMSPerMinute(double seconds) {
  const double cpuBefore = ProcessCpuSeconds();
  const auto wallBefore = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  return (ProcessCpuSeconds() - cpuBefore) / wall * 60000.0;
}

class IdleModel {
 public:
  IdleModel() : m_model(SysUtils::ProductTiming()) {
    m_bReady = m_model.IsReady() && m_model.AddCameraChannel(1, 1) && m_model.ConnectTo(m_server);
  }
  bool IsReady() const { return m_bReady; }

 private:
  vantix_test::LoopbackServer m_server;
  vantix_test::HostedModel m_model;
  bool m_bReady = false;
};

class IdleBareReader {
 public:
  IdleBareReader() : m_reader(m_server.Port()) {
    if (!m_reader.IsConnected() || !m_server.AcceptClient(3000)) return;
    m_reader.Start([](const char*, size_t) {});
    m_bReady = true;
  }
  bool IsReady() const { return m_bReady; }

 private:
  vantix_test::LoopbackServer m_server;
  BareReader m_reader;
  bool m_bReady = false;
};

// Each model takes up to a receive time-out to stop its reader; stopping
// them side by side keeps the run short.
template <typename Unit>
void RemoveAllUnits(std::vector<std::unique_ptr<Unit>>& units) {
  std::vector<std::thread> stoppers;
  for (std::unique_ptr<Unit>& pUnit : units) stoppers.emplace_back([&pUnit] { pUnit.reset(); });
  for (std::thread& stopper : stoppers) stopper.join();
  units.clear();
}

template <typename Unit>
bool AddUnits(std::vector<std::unique_ptr<Unit>>& units, size_t total) {
  while (units.size() < total) {
    units.emplace_back(new Unit());
    if (!units.back()->IsReady()) return false;
  }
  return true;
}

void AddCpuRow(Table& table, const std::string& strFigure, double pluginMS, double bareMS) {
  Row row;
  row.strFigure = strFigure;
  row.strPlugin = Format(pluginMS, 1) + " (" + Format(pluginMS / 600.0, 3) + "% core)";
  row.strBaseline = Format(bareMS, 1);
  row.strRatio = Ratio(pluginMS, bareMS);
  row.strTarget = "< " + Format(kTargetMSPerMinute, 0) + " (0.1% core)";
  row.verdict = VerdictOf(pluginMS < kTargetMSPerMinute);
  table.Add(row);
}

}  // namespace

void MeasureIdle(const Options& options, Table& table) {
  const double window = options.bSmoke ? 0.5 : 10.0;

  std::vector<std::unique_ptr<IdleBareReader>> readers;
  const Footprint beforeReaders = ProcessFootprint();
  const bool bReadersReady = AddUnits(readers, kModels);
  const Footprint perReader = PerUnit(beforeReaders, ProcessFootprint(), kModels);
  const double bareMS = bReadersReady ? CpuMSPerMinute(window) / kModels : 0;
  readers.clear();

  std::vector<std::unique_ptr<IdleModel>> models;
  if (!AddUnits(models, 1)) {
    table.Add(Row{"Idle cost", "could not connect", "", "", "", Verdict::kMissed});
    return;
  }
  const double oneModelMS = CpuMSPerMinute(window);
  // The first model paid for what the process sets up once.
  const Footprint afterFirst = ProcessFootprint();
  if (!AddUnits(models, kModels)) {
    table.Add(Row{"Idle cost", "could not connect 16 models", "", "", "", Verdict::kMissed});
    RemoveAllUnits(models);
    return;
  }
  const Footprint perModel = PerUnit(afterFirst, ProcessFootprint(), kModels - 1);
  const double manyModelsMS = CpuMSPerMinute(window) / kModels;
  RemoveAllUnits(models);

  AddCpuRow(table, "Idle CPU, 1 connected model, ms/min", oneModelMS, bareMS);
  AddCpuRow(table, "Idle CPU, 16 models in one process, ms/min per model", manyModelsMS, bareMS);
  Row resident{"Resident memory per model, KiB", Format(perModel.residentKiB, 0),
               Format(perReader.residentKiB, 0), Ratio(perModel.residentKiB, perReader.residentKiB),
               "< 1024 beyond thread stacks",    VerdictOf(perModel.residentKiB < kTargetResidentKiB)};
  table.Add(resident);
  table.Add(Row{"Address space per model (thread stacks included), KiB", Format(perModel.virtualKiB, 0),
                Format(perReader.virtualKiB, 0), Ratio(perModel.virtualKiB, perReader.virtualKiB), "",
                Verdict::kNone});
  table.Add(Row{"Threads per connected model", Format(perModel.threads, 1), Format(perReader.threads, 1),
                Ratio(perModel.threads, perReader.threads), "", Verdict::kNone});
}

}  // namespace vantix_bench
