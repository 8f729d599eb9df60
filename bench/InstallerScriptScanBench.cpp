// Scanning installer scripts for privileged commands and sensitive actions, against a plain read
// of the same bytes in the same chunk size: the ratio of the two times is the cost of the scan.
#include <benchmark/benchmark.h>

#include <array>
#include <sstream>
#include <string>

#include "core/Inspection/InstallerScriptScanner.hpp"

namespace {
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

void plainRead(benchmark::State& state) {
  std::array<char, 64 * 1024> buffer{};
  for (auto _ : state) {
    std::istringstream stream(script());
    std::size_t total = 0;
    while (stream.read(buffer.data(), buffer.size()) || stream.gcount() > 0)
      total += static_cast<std::size_t>(stream.gcount());
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script().size()));
}

void scanScript(benchmark::State& state) {
  for (auto _ : state) {
    std::istringstream stream(script());
    benchmark::DoNotOptimize(halyard::InstallerScriptScanner::scanText(stream));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script().size()));
}
} // namespace

BENCHMARK(plainRead);
BENCHMARK(scanScript);
BENCHMARK_MAIN();
