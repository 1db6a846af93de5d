#include "bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vantix_bench {

namespace {

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kMet: return "met";
    case Verdict::kMissed: return "**missed**";
    case Verdict::kNone: break;
  }
  return "";
}

}  // namespace

void Table::Print(std::ostream& out) const {
  out << "| Figure | Plug-in | Baseline | Ratio | Target | |\n";
  out << "|---|---:|---:|---:|---|---|\n";
  for (const Row& row : m_rows) {
    out << "| " << row.strFigure << " | " << row.strPlugin << " | " << row.strBaseline << " | "
        << row.strRatio << " | " << row.strTarget << " | " << VerdictText(row.verdict) << " |\n";
  }
}

std::string Format(double value, int decimals) {
  char text[64];
  snprintf(text, sizeof(text), "%.*f", decimals, value);
  return text;
}

std::string Ratio(double plugin, double baseline) {
  if (baseline == 0) return "-";
  const double ratio = plugin / baseline;
  return Format(ratio, ratio < 10 ? 2 : 0) + "x";
}

Verdict VerdictOf(bool bMet) { return bMet ? Verdict::kMet : Verdict::kMissed; }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
  const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

}  // namespace vantix_bench
