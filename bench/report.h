#pragma once

// What the benchmark measures and how it prints it: every figure beside a
// baseline measured in the same run, their ratio, and the target.

#include <ostream>
#include <string>
#include <vector>

namespace vantix_bench {

struct Options {
  // A few seconds in all: fewer rates, shorter windows, shortened product
  // timing for the recovery figures.
  bool bSmoke = false;
  // Where the delivery part writes the share of each trial for the plot;
  // nothing is written when empty.
  std::string strDeliveryData;
};

enum class Verdict { kNone, kMet, kMissed };

struct Row {
  std::string strFigure;
  std::string strPlugin;
  std::string strBaseline;
  std::string strRatio;
  std::string strTarget;
  Verdict verdict = Verdict::kNone;
};

class Table {
 public:
  void Add(const Row& row) { m_rows.push_back(row); }
  void Print(std::ostream& out) const;

 private:
  std::vector<Row> m_rows;
};

// Fixed-point text of a value: Format(1.2345, 2) is "1.23".
std::string Format(double value, int decimals);
// plugin / baseline as "0.87x", or "-" when the baseline is zero.
std::string Ratio(double plugin, double baseline);
Verdict VerdictOf(bool bMet);

// The p-th percentile (0 to 100) of the values, nearest rank; 0 for none.
double Percentile(std::vector<double> values, double p);

// The parts of the run, in the order of the table.
void MeasureDelivery(const Options& options, Table& table);
void MeasureDistribution(const Options& options, Table& table);
void MeasureIdle(const Options& options, Table& table);
void MeasureRecovery(const Options& options, Table& table);
void MeasureScale(const Options& options, Table& table);

}  // namespace vantix_bench
