// How long `bosun --version` takes as a whole process, against spawning /bin/true the same way in
// the same run. The difference is bosun's own start-up: loading, static initialisation, parsing,
// printing. Heavy work (ICU, the help texts) must stay lazy so that it is a few milliseconds.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Spawns the program with its output sent to /dev/null and waits for it.
bool runOnce(const char* program, const std::vector<std::string>& arguments) {
  std::vector<std::string> storage{program};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : storage)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void spawnProgram(benchmark::State& state, const char* program,
                  const std::vector<std::string>& arguments) {
  for (auto _ : state) {
    if (!runOnce(program, arguments)) {
      state.SkipWithError("the program did not run or did not exit with 0");
      break;
    }
  }
}

void BM_SpawnTrue(benchmark::State& state) {
  spawnProgram(state, "/bin/true", {});
}
void BM_BosunVersion(benchmark::State& state) {
  spawnProgram(state, BOSUN_BINARY, {"--version"});
}
void BM_BosunHelp(benchmark::State& state) {
  spawnProgram(state, BOSUN_BINARY, {"help"});
}

BENCHMARK(BM_SpawnTrue)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BosunVersion)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BosunHelp)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps each benchmark's mean wall time per run, to print the comparison at the end.
class ComparingReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
        millisecondsPerRun[run.run_name.function_name] =
            run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond ? 1.0 : 1e-6);
      }
    }
  }
  std::map<std::string, double> millisecondsPerRun;
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ComparingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto& times = reporter.millisecondsPerRun;
  const auto baseline = times.find("BM_SpawnTrue");
  if (baseline == times.end() || baseline->second <= 0) return 0;
  for (const char* name : {"BM_BosunVersion", "BM_BosunHelp"}) {
    const auto found = times.find(name);
    if (found == times.end()) continue;
    std::printf("%s: %.2f ms per run, %.2f ms more than /bin/true (%.2fx)\n", name, found->second,
                found->second - baseline->second, found->second / baseline->second);
  }
  return 0;
}
