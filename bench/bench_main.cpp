// Measures what the plug-in costs and how fast it delivers, each figure
// against a baseline from the same run, and prints one Markdown table.
//
//   vantix_bench                   the full run (a few minutes)
//   vantix_bench --smoke           a few seconds: proves that every part runs
//   vantix_bench --part idle ...   only the named parts (delivery,
//                                  distribution, idle, recovery)
//   --delivery-data FILE           also the share of every delivery trial
//                                  at each rate, for scripts/bench's plot

#include <chrono>
#include <cstring>
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
    {"delivery", &vantix_bench::MeasureDelivery},
    {"distribution", &vantix_bench::MeasureDistribution},
    {"idle", &vantix_bench::MeasureIdle},
    {"recovery", &vantix_bench::MeasureRecovery},
};

int Usage(const char* sProgram) {
  std::cerr << "usage: " << sProgram
            << " [--smoke] [--part delivery|distribution|idle|recovery]... [--delivery-data FILE]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  vantix_bench::Options options;
  std::set<std::string> parts;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--smoke") == 0) {
      options.bSmoke = true;
    } else if (strcmp(argv[i], "--part") == 0 && i + 1 < argc) {
      parts.insert(argv[++i]);
    } else if (strcmp(argv[i], "--delivery-data") == 0 && i + 1 < argc) {
      options.strDeliveryData = argv[++i];
    } else {
      return Usage(argv[0]);
    }
  }
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
