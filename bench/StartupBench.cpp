// How long `bosun --version` and `bosun help` take as whole processes against /bin/true, spawned
// the same way. The runs are interleaved (true, bosun, true, bosun, ...) so that load from other
// work on the machine falls on both sides alike, and each is timed by the wall clock from the
// spawn to the reaped exit. The difference is bosun's own start-up: loading its libraries, static
// initialisation, parsing and printing. The CPU time each process used is shown beside (it suffers
// less from a busy machine than the wall clock). BOSUN_STARTUP_BINARY names another build to
// measure instead; BOSUN_STARTUP_EARLIER names an earlier build to compare with, pair by pair.

#include <benchmark/benchmark.h>

#include "QuietSpawn.hpp"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* bosunBinary() {
  const char* chosen = std::getenv("BOSUN_STARTUP_BINARY");
  return chosen && *chosen ? chosen : BOSUN_BINARY;
}

struct Timing {
  double wallMilliseconds = -1; // negative when the program did not run or did not exit with 0
  double cpuMilliseconds = 0;
};

// Spawns the program with its output sent to /dev/null, waits for it and times it.
Timing timedRun(const char* program, const std::vector<std::string>& arguments) {
  std::vector<std::string> storage{program};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = bosun::bench::spawnQuietly(std::move(storage));
  if (pid < 0) return {};
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  const auto milliseconds = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return {std::chrono::duration<double, std::milli>(end - start).count(),
          milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime)};
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

struct Program {
  const char* path;
  std::vector<std::string> arguments;
  const char* label;
};

// Each iteration is one pair: the baseline, then the measured program. The counters are the
// medians over all pairs (robust against the odd run that another process delayed).
void comparePairs(benchmark::State& state, const Program& baseline, const Program& measured) {
  std::vector<double> baseWall, wall, difference, baseCPU, cpu;
  for (auto _ : state) {
    const Timing a = timedRun(baseline.path, baseline.arguments);
    const Timing b = timedRun(measured.path, measured.arguments);
    if (a.wallMilliseconds < 0 || b.wallMilliseconds < 0) {
      state.SkipWithError("a program did not run or did not exit with 0");
      return;
    }
    baseWall.push_back(a.wallMilliseconds);
    wall.push_back(b.wallMilliseconds);
    difference.push_back(b.wallMilliseconds - a.wallMilliseconds);
    baseCPU.push_back(a.cpuMilliseconds);
    cpu.push_back(b.cpuMilliseconds);
  }
  const double a = median(baseWall), b = median(wall), d = median(difference);
  const double ratio = a > 0 ? b / a : 0;
  state.counters["base_ms"] = a;
  state.counters["measured_ms"] = b;
  state.counters["extra_ms"] = d;
  state.counters["ratio"] = ratio;
  std::printf("%s: median %.2f ms (CPU %.2f ms) against %.2f ms (CPU %.2f ms) for %s over %zu "
              "interleaved pairs: %+.2f ms, %.2fx\n",
              measured.label, b, median(cpu), a, median(baseCPU), baseline.label, wall.size(), d,
              ratio);
}

const Program trueProgram{"/bin/true", {}, "/bin/true"};

void BM_VersionAgainstTrue(benchmark::State& state) {
  comparePairs(state, trueProgram, {bosunBinary(), {"--version"}, "bosun --version"});
}
void BM_HelpAgainstTrue(benchmark::State& state) {
  comparePairs(state, trueProgram, {bosunBinary(), {"help"}, "bosun help"});
}
void BM_VersionAgainstEarlierBuild(benchmark::State& state) {
  const char* earlier = std::getenv("BOSUN_STARTUP_EARLIER");
  if (!earlier || !*earlier) {
    state.SkipWithError("set BOSUN_STARTUP_EARLIER to an earlier build of bosun");
    for (auto _ : state) {
    }
    return;
  }
  comparePairs(state, {earlier, {"--version"}, "the earlier build"},
               {bosunBinary(), {"--version"}, "bosun --version"});
}

BENCHMARK(BM_VersionAgainstTrue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_HelpAgainstTrue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_VersionAgainstEarlierBuild)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(300);

} // namespace

BENCHMARK_MAIN();
