// The cost of handing one record to the host's channels, measured where the
// receiver hands it over (the model's data callback), without the socket.
// The baseline is one copy of the record, which any consumer pays.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/report.h"
#include "support/hosted_model.h"

namespace vantix_bench {

namespace {

using vantix_test::HostedModel;

const char kRecord[] = "CamID:1 Event:face Name:somebody Score:0.93 Time:2024-05-01T10:00:00\r\n";

struct HostCounter {
  unsigned long long ullCalls = 0;
  unsigned long long ullBytes = 0;
};

void CountRecord(unsigned long long, unsigned long long, const char*, int iLength, void* pData) {
  HostCounter* pCounter = static_cast<HostCounter*>(pData);
  ++pCounter->ullCalls;
  pCounter->ullBytes += static_cast<unsigned long long>(iLength);
}

struct Setup {
  const char* sName;
  unsigned int uiChannels;
  bool bAllMatch;
};

const Setup kSetups[] = {
    {"1 channel", 1, true},
    {"64 channels, one matching", 64, false},
    {"64 channels, all matching", 64, true},
    {"1024 channels, one matching", 1024, false},
    {"1024 channels, all matching", 1024, true},
};

// Nanoseconds per iteration of every benchmark, by name; the median of the
// repetitions.
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        m_samples[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
      }
    }
  }
  double MedianNS(const std::string& name) const {
    const auto it = m_samples.find(name);
    return it == m_samples.end() ? 0 : Percentile(it->second, 50);
  }

 private:
  std::map<std::string, std::vector<double>> m_samples;
};

void Configure(benchmark::internal::Benchmark* pBenchmark, const Options& options) {
  pBenchmark->Unit(benchmark::kNanosecond)
      ->MinTime(options.bSmoke ? 0.01 : 0.2)
      ->Repetitions(options.bSmoke ? 1 : 3)
      ->ReportAggregatesOnly(false);
}

void CopyRecord(benchmark::State& state) {
  const std::string record(kRecord);
  for (auto _ : state) {
    std::string copy(record);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}

// What the callbacks alone cost a plug-in that had nothing else to do:
// `calls` calls through the host's function pointer with a prepared text.
void CallHost(benchmark::State& state, unsigned int calls) {
  const std::string text(kRecord);
  HostCounter counter;
  fnPluginCallback fn = &CountRecord;
  benchmark::DoNotOptimize(fn);
  for (auto _ : state) {
    for (unsigned int i = 0; i < calls; ++i) fn(1, i, text.c_str(), static_cast<int>(text.size()), &counter);
    benchmark::ClobberMemory();
  }
}

void Distribute(benchmark::State& state, HostedModel* pModel) {
  HostCounter counter;
  pModel->Host().RegisterMetadataCallbackFunc(&CountRecord, &counter);
  CMetadataModelBase1* pBase = &pModel->Model();
  for (auto _ : state) {
    CMetadataModelBase1::DataCallback(kRecord, static_cast<int>(sizeof(kRecord) - 1), pBase);
  }
  pModel->Host().RegisterMetadataCallbackFunc(nullptr, nullptr);
  if (counter.ullCalls == 0) state.SkipWithError("the record reached no channel");
}

// Channels 1 to uiChannels; camera 2 never matches the record's camera 1.
std::unique_ptr<HostedModel> MakeModel(const Setup& setup) {
  std::unique_ptr<HostedModel> pModel(new HostedModel(SysUtils::ProductTiming()));
  if (!pModel->IsReady()) return nullptr;
  for (unsigned int i = 0; i < setup.uiChannels; ++i) {
    if (!pModel->AddCameraChannel(i + 1, setup.bAllMatch || i == 0 ? 1 : 2)) return nullptr;
  }
  return pModel;
}

}  // namespace

void MeasureDistribution(const Options& options, Table& table) {
  const char* argv0 = "vantix_bench";
  int argc = 1;
  benchmark::Initialize(&argc, const_cast<char**>(&argv0));

  std::vector<std::unique_ptr<HostedModel>> models;
  Configure(benchmark::RegisterBenchmark("copy", &CopyRecord), options);
  for (const Setup& setup : kSetups) {
    models.push_back(MakeModel(setup));
    if (!models.back()) continue;
    Configure(benchmark::RegisterBenchmark(setup.sName, &Distribute, models.back().get()), options);
    const unsigned int calls = setup.bAllMatch ? setup.uiChannels : 1;
    Configure(benchmark::RegisterBenchmark((std::string("host ") + setup.sName).c_str(), &CallHost, calls),
              options);
  }
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::ClearRegisteredBenchmarks();

  const double copyNS = collector.MedianNS("copy");
  for (size_t i = 0; i < models.size(); ++i) {
    const Setup& setup = kSetups[i];
    Row row;
    row.strFigure = std::string("Distribution per record, ") + setup.sName + ", ns";
    if (!models[i]) {
      row.strPlugin = "could not configure";
      row.verdict = Verdict::kMissed;
      table.Add(row);
      continue;
    }
    const double distributeNS = collector.MedianNS(setup.sName);
    const unsigned int calls = setup.bAllMatch ? setup.uiChannels : 1;
    if (calls == 1) {
      row.strBaseline = Format(copyNS, 0) + " (copy)";
      row.strRatio = Ratio(distributeNS, copyNS);
    } else {
      // Against the bare callbacks: what the plug-in adds per call.
      const double hostNS = collector.MedianNS(std::string("host ") + setup.sName);
      row.strBaseline = Format(hostNS, 0) + " (" + std::to_string(calls) + " bare calls)";
      row.strRatio = Ratio(distributeNS, hostNS);
      row.strPlugin = Format(distributeNS, 0) + " (" + Format(distributeNS / calls, 0) + "/call)";
    }
    if (row.strPlugin.empty()) row.strPlugin = Format(distributeNS, 0);
    if (setup.uiChannels == 1024 && !setup.bAllMatch) {
      row.strTarget = "< 20000 ns";
      row.verdict = VerdictOf(distributeNS < 20000);
    }
    table.Add(row);
  }
}

}  // namespace vantix_bench
