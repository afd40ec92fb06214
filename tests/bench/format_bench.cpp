// FormatText against the host C library's snprintf on formats both read alike. Each case is
// first run once by both and must give the same text; then both are timed.
// Usage: format-bench [Google Benchmark flags, e.g. --benchmark_filter=string]
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "format.h"
#include "ratio_reporter.h"

// Arguments: globals with external linkage, so the calls cannot be folded at compile time.
const char *BenchText = "OEM_Init_COM";
int BenchCharacter = '!';
uint32_t BenchHex = 0xBEEF1234u;
int32_t BenchSigned = -1234567;
uint64_t BenchWide = 0x0123456789ABCDEFull;

namespace {

constexpr uint32_t BUFFER_SIZE = 128;

// Both engines behind one signature, so that one timing loop serves them.
using Engine = int (*)(char *Buffer, size_t Capacity, const char *Format);

struct BenchCase {
  const char *Name;
  const char *ModuleFormat;
  const char *LibcFormat;
  Engine Module;
  Engine Libc;
};

// One case per line: BENCH_CASE(name, FormatText format, snprintf format, arguments...).
#define BENCH_CASE(Name, ModuleFormat, LibcFormat, ...)                                            \
  BenchCase {                                                                                      \
    Name, ModuleFormat, LibcFormat,                                                                \
        [](char *Buffer, size_t Capacity, const char *Format) {                                    \
          return static_cast<int>(                                                                 \
              FormatText(Buffer, static_cast<uint32_t>(Capacity), Format, __VA_ARGS__));           \
        },                                                                                         \
        [](char *Buffer, size_t Capacity, const char *Format) {                                    \
          return std::snprintf(Buffer, Capacity, Format, __VA_ARGS__);                             \
        }                                                                                          \
  }

constexpr BenchCase Cases[] = {
    // The banner: plain text only; the argument goes unread.
    BENCH_CASE("banner", "\nOEM_Init_COM OK\n", "\nOEM_Init_COM OK\n", BenchText),
    BENCH_CASE("string", "%s", "%s", BenchText),
    BENCH_CASE("char", "%c", "%c", BenchCharacter),
    BENCH_CASE("hex", "%x", "%x", BenchHex),
    BENCH_CASE("hex08", "%08x", "%08x", BenchHex),
    BENCH_CASE("decimal", "%d", "%d", BenchSigned),
    BENCH_CASE("hex64", "%lx", "%" PRIx64, BenchWide),
    BENCH_CASE("mixed", "%s=%08x (%d) %c", "%s=%08x (%d) %c", BenchText, BenchHex, BenchSigned,
               BenchCharacter),
};

void Time(benchmark::State &State, Engine Call, const char *Format) {
  char Buffer[BUFFER_SIZE];
  for (auto _ : State) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop variable is unused
    // Hidden from the optimiser each time: a known format could be compiled into a copy.
    benchmark::DoNotOptimize(Format);
    benchmark::DoNotOptimize(Call(Buffer, BUFFER_SIZE, Format));
    benchmark::ClobberMemory();
  }
}

// Both engines must give the same text and count, or the timings compare different work.
bool SameText(const BenchCase &Case) {
  char Module[BUFFER_SIZE];
  char Libc[BUFFER_SIZE];
  const int ModuleCount = Case.Module(Module, BUFFER_SIZE, Case.ModuleFormat);
  const int LibcCount = Case.Libc(Libc, BUFFER_SIZE, Case.LibcFormat);
  if (ModuleCount == LibcCount && std::strcmp(Module, Libc) == 0) {
    return true;
  }
  std::fprintf(stderr,
               "format-bench: case %s differs: FormatText \"%s\" (%d), snprintf \"%s\" (%d)\n",
               Case.Name, Module, ModuleCount, Libc, LibcCount);
  return false;
}

} // namespace

int main(int Count, char **Arguments) {
  benchmark::Initialize(&Count, Arguments);
  if (benchmark::ReportUnrecognizedArguments(Count, Arguments)) {
    return 2;
  }
  for (const BenchCase &Case : Cases) {
    if (!SameText(Case)) {
      return 1;
    }
    benchmark::RegisterBenchmark((std::string("FormatText/") + Case.Name).c_str(), Time,
                                 Case.Module, Case.ModuleFormat);
    benchmark::RegisterBenchmark((std::string("snprintf/") + Case.Name).c_str(), Time, Case.Libc,
                                 Case.LibcFormat);
  }
  // Colours only on a terminal: a given reporter does not follow --benchmark_color.
  RatioReporter Reporter(isatty(STDOUT_FILENO) != 0 ? RatioReporter::OO_Defaults
                                                    : RatioReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  benchmark::Shutdown();
  return 0;
}
