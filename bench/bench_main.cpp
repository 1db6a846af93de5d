// Measures what the plug-in costs and how fast it delivers, each figure
// against a baseline from the same run, and prints one Markdown table.
//
//   vantix_bench                   the full run (a few minutes)
//   vantix_bench --smoke           a few seconds: proves that every part runs
//   vantix_bench --part idle ...   only the named parts (delivery,
//                                  distribution, idle, recovery, scale)
//   --delivery-data FILE           also the share of every delivery trial
//                                  at each rate, for scripts/bench's plot

#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <set>
#include <string>

#include "bench/report.h"

namespace {

struct Part {
  const char* sName;
  void (*fnMeasure)(const vantix_bench::Options&, vantix_bench::Table&);
};

const Part kParts[] = {
    {"delivery", &vantix_bench::MeasureDelivery}, {"distribution", &vantix_bench::MeasureDistribution},
    {"idle", &vantix_bench::MeasureIdle},         {"recovery", &vantix_bench::MeasureRecovery},
    {"scale", &vantix_bench::MeasureScale},
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Measures what the plug-in costs and how fast it delivers, each figure against a\n"
      "baseline from the same run, and prints one Markdown table.",
      "vantix_bench");
  vantix_bench::Options options;
  std::set<std::string> parts;
  app.add_flag("--smoke", options.bSmoke, "a few seconds: proves that every part runs");
  app.add_option("--part", parts, "only the named parts (repeatable); all without it")
      ->type_name("PART")
      ->check(CLI::IsMember({"delivery", "distribution", "idle", "recovery", "scale"}));
  app.add_option("--delivery-data", options.strDeliveryData,
                 "also write the share of every delivery trial at each rate, for scripts/bench's plot")
      ->type_name("FILE");
  CLI11_PARSE(app, argc, argv);

  vantix_bench::Table table;
  for (const Part& part : kParts) {
    if (!parts.empty() && parts.count(part.sName) == 0) continue;
    const auto start = std::chrono::steady_clock::now();
    part.fnMeasure(options, table);
    // Progress goes to standard error; standard output carries the table.
    std::cerr << part.sName << ": "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n";
  }
  table.Print(std::cout);
  return 0;
}
