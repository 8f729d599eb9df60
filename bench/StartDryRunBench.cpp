// `bosun start --dry-run` on a release folder crowded with 50,000 entries (one app, one license
// document, the rest screenshots and notes) against `ls -f` of the same folder: both whole
// processes, timed by the wall clock in interleaved pairs. Discovery lists the folder once and
// collates only the candidates, so it must stay a small multiple of the bare listing. The peak
// resident size of bosun is printed beside.

#include <benchmark/benchmark.h>

#include "QuietSpawn.hpp"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Support/TemporaryFolder.hpp"

namespace {

const std::filesystem::path& releaseFolder() {
  static halyard::TemporaryFolder folder("StartDryRunBench_");
  static const bool filled = [] {
    const char* extensions[] = {".png", ".txt", ".dat", ".rtf"};
    for (int i = 0; i < 49990; ++i) {
      std::ofstream(folder.path() / ("Screenshot " + std::to_string(i) + extensions[i % 4]));
    }
    std::filesystem::create_directories(folder.path() / "Sample.app/Contents/MacOS");
    std::ofstream(folder.path() / "EULA.rtf");
    return true;
  }();
  static_cast<void>(filled);
  return folder.path();
}

struct Timing {
  double seconds = -1; // negative when the program did not run or failed
  long peakKilobytes = 0;
};

Timing timedRun(std::vector<std::string> arguments) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = bosun::bench::spawnQuietly(std::move(arguments));
  if (pid < 0) return {};
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return {seconds, usage.ru_maxrss};
}

void BM_StartDryRunAgainstListing(benchmark::State& state) {
  const std::string folder = releaseFolder().string();
  double listing = 0, bosun = 0;
  long peak = 0;
  for (auto _ : state) {
    const Timing a = timedRun({"/bin/ls", "-f", folder});
    const Timing b =
        timedRun({BOSUN_BINARY, "start", "--dry-run", "--no-sign", "--no-notarize", folder});
    if (a.seconds < 0 || b.seconds < 0) {
      state.SkipWithError("ls or bosun did not run or failed");
      return;
    }
    listing += a.seconds;
    bosun += b.seconds;
    peak = std::max(peak, b.peakKilobytes);
    state.SetIterationTime(b.seconds);
  }
  const auto rounds = static_cast<double>(state.iterations());
  state.counters["ratio"] = bosun / listing;
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024;
  std::printf("start --dry-run on 50,000 entries: %.1f ms against %.1f ms for ls -f: %.2fx, "
              "peak RSS %.1f MB\n",
              bosun / rounds * 1e3, listing / rounds * 1e3, bosun / listing,
              static_cast<double>(peak) / 1024);
}

} // namespace

BENCHMARK(BM_StartDryRunAgainstListing)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(15);
BENCHMARK_MAIN();
