// The runner against bare system calls, measured in the same run. Each benchmark alternates its
// baseline and the runner (interleaved pairs, so a busy machine weighs on both alike), reports
// the ratio (runner / baseline) as a counter and prints it.
//
// The program doubles as the child it measures: "ProcessRunnerBench --flood BYTES" writes BYTES
// to each of standard output and standard error, "--sleep SECONDS" sleeps.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/Process/ToolProcess.hpp"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string selfPath;
constexpr long long floodBytesPerStream = 128LL * 1024 * 1024; // 256 MiB in all

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int floodChild(long long bytes) {
  std::vector<char> chunk(64 * 1024, 'x');
  for (long long done = 0; done < bytes;) {
    const auto size = static_cast<size_t>(std::min<long long>(chunk.size(), bytes - done));
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
      for (size_t written = 0; written < size;) {
        const ssize_t count = ::write(fd, chunk.data() + written, size - written);
        if (count < 0) return 1;
        written += static_cast<size_t>(count);
      }
    }
    done += static_cast<long long>(size);
  }
  return 0;
}

// posix_spawn and waitpid with nothing around them; both streams go into `pipeEnd` when given.
pid_t bareSpawn(const std::vector<std::string>& arguments, int pipeEnd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipeEnd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnd, STDERR_FILENO);
  }
  std::vector<char*> argv;
  for (const auto& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void bareWait(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) == -1 && errno == EINTR) {
  }
}

// The child's output through one pipe and a bare read loop, either dropping what it reads or
// keeping it in a string as any capture must (reserved up front: the size is known here, so the
// baseline does the least work the task needs). The seconds of the run are returned.
double bareCapture(const std::vector<std::string>& childArguments, bool keep,
                   std::size_t expectedBytes) {
  const auto start = Clock::now();
  int fds[2];
  if (::pipe(fds) != 0) return 0;
  std::vector<std::string> arguments = {selfPath};
  arguments.insert(arguments.end(), childArguments.begin(), childArguments.end());
  const pid_t pid = bareSpawn(arguments, fds[1]);
  ::close(fds[1]);
  std::vector<char> buffer(64 * 1024);
  std::string kept;
  if (keep) kept.reserve(expectedBytes);
  while (true) {
    const ssize_t count = ::read(fds[0], buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    if (keep) kept.append(buffer.data(), static_cast<size_t>(count));
  }
  ::close(fds[0]);
  bareWait(pid);
  benchmark::DoNotOptimize(kept.data());
  return secondsSince(start);
}

// Capturing stores every byte, so the loop that keeps its bytes is the fair baseline; the one
// that drops them shows what storing costs on the machine at hand (fresh memory is expensive
// on some virtual machines).
void BM_CaptureBothStreams(benchmark::State& state) {
  const std::vector<std::string> childArguments = {"--flood", std::to_string(floodBytesPerStream)};
  double dropping = 0;
  double keeping = 0;
  double runner = 0;
  for (auto _ : state) {
    dropping += bareCapture(childArguments, false, 0);
    keeping += bareCapture(childArguments, true, 2 * floodBytesPerStream);
    const auto start = Clock::now();
    const auto result = halyard::ToolProcess::run(selfPath, childArguments, 600);
    const double elapsed = secondsSince(start);
    runner += elapsed;
    state.SetIterationTime(elapsed);
    if (result.standardOutput.size() != static_cast<size_t>(floodBytesPerStream)) {
      state.SkipWithError("incomplete capture");
    }
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["bare_drop_s"] = dropping / iterations;
  state.counters["bare_keep_s"] = keeping / iterations;
  state.counters["runner_s"] = runner / iterations;
  state.counters["ratio"] = runner / keeping;
  state.counters["ratio_to_drop"] = runner / dropping;
  state.SetBytesProcessed(state.iterations() * 2 * floodBytesPerStream);
  std::printf("capture of 256 MiB: runner %.3f s against %.3f s for a bare loop that keeps the "
              "bytes: %.2fx (%.2fx a loop that drops them)\n",
              runner / iterations, keeping / iterations, runner / keeping, runner / dropping);
}
BENCHMARK(BM_CaptureBothStreams)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

double cpuSecondsOfSelf() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs of /bin/true, bare and through the runner alternately. Besides the wall time, the CPU this
// process spends per child (RUSAGE_SELF) shows what the runner costs beside its children.
void BM_FiveHundredRunsOfTrue(benchmark::State& state) {
  const std::string truePath = std::filesystem::exists("/bin/true") ? "/bin/true" : "/usr/bin/true";
  constexpr int runs = 500;
  double baseline = 0, runner = 0, baselineCPU = 0, runnerCPU = 0;
  for (auto _ : state) {
    double elapsed = 0;
    for (int i = 0; i < runs; ++i) {
      double cpu = cpuSecondsOfSelf();
      auto start = Clock::now();
      bareWait(bareSpawn({truePath}, -1));
      baseline += secondsSince(start);
      baselineCPU += cpuSecondsOfSelf() - cpu;

      cpu = cpuSecondsOfSelf();
      start = Clock::now();
      if (halyard::ToolProcess::run(truePath, {}, 60).status != 0) state.SkipWithError("failed");
      const double once = secondsSince(start);
      runnerCPU += cpuSecondsOfSelf() - cpu;
      runner += once;
      elapsed += once;
    }
    state.SetIterationTime(elapsed);
  }
  const double children = static_cast<double>(state.iterations()) * runs;
  state.counters["baseline_s"] = baseline / static_cast<double>(state.iterations());
  state.counters["runner_s"] = runner / static_cast<double>(state.iterations());
  state.counters["ratio"] = runner / baseline;
  state.counters["runner_cpu_us_per_child"] = runnerCPU / children * 1e6;
  state.counters["bare_cpu_us_per_child"] = baselineCPU / children * 1e6;
  std::printf("runs of /bin/true: runner %.3f ms against %.3f ms bare per run: %.2fx; CPU of this "
              "process per child %.0f us against %.0f us bare\n",
              runner / children * 1e3, baseline / children * 1e3, runner / baseline,
              runnerCPU / children * 1e6, baselineCPU / children * 1e6);
}
BENCHMARK(BM_FiveHundredRunsOfTrue)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// How late after its limit the time-out result arrives (the limit itself is the baseline).
void BM_TimeoutLateness(benchmark::State& state) {
  constexpr double limit = 0.2;
  double worst = 0;
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto result = halyard::ToolProcess::run(selfPath, {"--sleep", "10"}, limit);
    const double late = secondsSince(start) - limit;
    if (result.status != -2) state.SkipWithError("no time-out");
    state.SetIterationTime(late);
    total += late;
    worst = std::max(worst, late);
  }
  state.counters["late_ms"] = 1000 * total / static_cast<double>(state.iterations());
  state.counters["worst_late_ms"] = 1000 * worst;
}
BENCHMARK(BM_TimeoutLateness)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--flood") == 0) return floodChild(std::atoll(argv[2]));
  if (argc == 3 && std::strcmp(argv[1], "--sleep") == 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[2])));
    return 0;
  }
  selfPath = std::filesystem::absolute(argv[0]).string();
  unsetenv("BOSUN_TOOL_ROOT"); // the runner must run this very program
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
