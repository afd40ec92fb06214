// Collects per-call times and prints the FormatText / snprintf table.
#include "ratio_reporter.h"

#include <cstdio>

namespace {

// A run that failed or was skipped: Google Benchmark 1.7 says so with error_occurred, 1.8 and
// later with skipped. Overload resolution picks the member this version has.
template <typename R> auto Failed(const R &Result, int) -> decltype(bool{Result.error_occurred}) {
  return Result.error_occurred;
}
template <typename R> bool Failed(const R &Result, long) {
  return static_cast<bool>(Result.skipped);
}

} // namespace

void RatioReporter::ReportRuns(const std::vector<Run> &Runs) {
  ConsoleReporter::ReportRuns(Runs);
  for (const Run &Result : Runs) {
    // Single runs keep their fastest; a median of repetitions replaces them.
    const bool Median = Result.run_type == Run::RT_Aggregate && Result.aggregate_name == "median";
    if ((Result.run_type != Run::RT_Iteration && !Median) || Failed(Result, 0)) {
      continue;
    }
    const std::string &Name = Result.run_name.function_name;
    const size_t Slash = Name.find('/');
    if (Slash == std::string::npos) {
      continue;
    }
    const std::string Case = Name.substr(Slash + 1);
    const std::string Engine = Name.substr(0, Slash);
    const double Time =
        Result.GetAdjustedCPUTime() * (1e9 / benchmark::GetTimeUnitMultiplier(Result.time_unit));
    if (Nanoseconds.count(Case) == 0) {
      Order.push_back(Case);
    }
    std::map<std::string, double> &Times = Nanoseconds[Case];
    if (Median || Times.count(Engine) == 0 || Time < Times[Engine]) {
      Times[Engine] = Time;
    }
  }
}

void RatioReporter::Finalize() {
  std::printf("\n%-12s %14s %14s %18s\n", "case", "FormatText ns", "snprintf ns",
              "FormatText/snprintf");
  for (const std::string &Case : Order) {
    const std::map<std::string, double> &Times = Nanoseconds[Case];
    const auto Module = Times.find("FormatText");
    const auto Libc = Times.find("snprintf");
    if (Module == Times.end() || Libc == Times.end()) {
      continue;
    }
    std::printf("%-12s %14.1f %14.1f %18.2f\n", Case.c_str(), Module->second, Libc->second,
                Module->second / Libc->second);
  }
  std::fflush(stdout);
}
