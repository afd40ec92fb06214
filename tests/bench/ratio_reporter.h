// Console reporter that also prints, after the runs, a table of FormatText against snprintf:
// nanoseconds per call for each and their ratio, for every case both were run on.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// Benchmark names are "<engine>/<case>"; engines compared are "FormatText" and "snprintf".
class RatioReporter : public benchmark::ConsoleReporter {
public:
  explicit RatioReporter(OutputOptions Options) : ConsoleReporter(Options) {}
  void ReportRuns(const std::vector<Run> &Runs) override;
  void Finalize() override;

private:
  // CPU time per call in ns, by case then engine: the median of repetitions when reported,
  // else the fastest run.
  std::map<std::string, std::map<std::string, double>> Nanoseconds;
  std::vector<std::string> Order; // cases as first seen
};
