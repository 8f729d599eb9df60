// Scanning installer scripts for privileged commands and sensitive actions, against the least a
// scan has to do: one pass over the same bytes, read from a stream in 64 KiB chunks, looking at
// every byte (counting line ends). The two alternate within each iteration, and the ratio of
// their times is printed.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

#include "core/Inspection/InstallerScriptScanner.hpp"

namespace {

using Clock = std::chrono::steady_clock;

const std::string& script() {
  static const std::string text = [] {
    std::string line = "cp -R \"$PACKAGE_PATH/Contents/Resources/helper\" \"$TARGET/opt/app\"\n";
    std::string all;
    while (all.size() < 8 * 1024 * 1024)
      all += line;
    return all;
  }();
  return text;
}

std::size_t onePass() {
  std::array<char, 64 * 1024> buffer{};
  std::istringstream stream(script());
  std::size_t lines = 0;
  while (stream.read(buffer.data(), buffer.size()) || stream.gcount() > 0) {
    const auto count = static_cast<std::size_t>(stream.gcount());
    for (std::size_t i = 0; i < count; ++i)
      lines += buffer[i] == '\n' ? 1 : 0;
  }
  return lines;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_ScanAgainstOnePass(benchmark::State& state) {
  double baseline = 0, scan = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    benchmark::DoNotOptimize(onePass());
    baseline += secondsSince(start);
    start = Clock::now();
    std::istringstream stream(script());
    benchmark::DoNotOptimize(halyard::InstallerScriptScanner::scanText(stream));
    const double elapsed = secondsSince(start);
    scan += elapsed;
    state.SetIterationTime(elapsed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script().size()));
  state.counters["ratio"] = scan / baseline;
  const auto rounds = static_cast<double>(state.iterations());
  std::printf("scan of 8 MiB: %.2f ms against %.2f ms for one pass over the bytes: %.2fx\n",
              scan / rounds * 1e3, baseline / rounds * 1e3, scan / baseline);
}

} // namespace

BENCHMARK(BM_ScanAgainstOnePass)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
BENCHMARK_MAIN();
