// How long one call of a stand-in tool takes on small inputs, against starting /bin/true in the
// same run, interleaved call by call. Every figure is reported as "x_true": the call's time
// divided by the baseline's.

#include <benchmark/benchmark.h>

#include "QuietSpawn.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int runQuietly(const std::string& executable, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {executable};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const pid_t pid = bosun::bench::spawnQuietly(std::move(argv));
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Root {
  fs::path base, root, app, image;

  Root() {
    char pattern[] = "/tmp/macsim-bench-XXXXXX";
    base = mkdtemp(pattern);
    root = base / "root";
    runQuietly(MACSIM_BINARY, {"init", root.string()});
    setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
    runQuietly(MACSIM_BINARY,
               {"identity", "add", "Developer ID Application: Example Corp (A1B2C3D4E5)"});
    app = base / "Demo.app";
    fs::create_directories(app / "Contents/Resources");
    std::ofstream(app / "Contents/Info.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
           "<string>Demo</string></dict></plist>";
    std::ofstream(app / "Contents/Resources/readme.txt") << "hello";
    runQuietly(MACSIM_BINARY, {"machO", (app / "Contents/MacOS/Demo").string()});
    runQuietly((root / "usr/bin/codesign").string(),
               {"--force", "--sign", "Developer ID Application", app.string()});
    image = base / "Demo.dmg";
    runQuietly((root / "usr/bin/hdiutil").string(),
               {"create", "-size", "20m", "-fs", "HFS+", "-volname", "Demo", image.string()});
  }
  ~Root() {
    std::error_code ignored;
    fs::remove_all(base, ignored);
  }
};

Root& root() {
  static Root instance;
  return instance;
}

double timedRun(const std::string& executable, const std::vector<std::string>& arguments) {
  const auto start = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(runQuietly(executable, arguments));
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration is a pair: /bin/true, then the tool, both whole processes timed by the wall
// clock, so that load from elsewhere falls on both alike. The ratio of the totals is printed.
void measure(benchmark::State& state, const std::string& tool,
             const std::vector<std::string>& arguments) {
  std::string label = tool;
  for (const auto& argument : arguments)
    if (argument.size() < 20) label += " " + argument;
  const std::string executable = (root().root / tool).string();
  double baseline = 0, calls = 0;
  for (auto _ : state) {
    baseline += timedRun("/bin/true", {});
    const double call = timedRun(executable, arguments);
    calls += call;
    state.SetIterationTime(call);
  }
  const auto rounds = static_cast<double>(state.iterations());
  state.counters["true_ms"] = baseline / rounds * 1e3;
  state.counters["x_true"] = calls / baseline;
  std::printf("%s: %.2f ms against %.2f ms for /bin/true: %.2fx\n", label.c_str(),
              calls / rounds * 1e3, baseline / rounds * 1e3, calls / baseline);
}

void SecurityFindIdentity(benchmark::State& state) {
  measure(state, "usr/bin/security", {"find-identity", "-v", "-p", "codesigning"});
}

void CodesignDeepVerify(benchmark::State& state) {
  measure(state, "usr/bin/codesign",
          {"--verify", "--deep", "--strict", "--verbose=4", root().app.string()});
}

void CodesignDisplay(benchmark::State& state) {
  measure(state, "usr/bin/codesign", {"-dv", "--verbose=4", root().app.string()});
}

void SpctlAssess(benchmark::State& state) {
  measure(state, "usr/sbin/spctl", {"-a", "-vv", "--type", "execute", root().app.string()});
}

void HdiutilInfo(benchmark::State& state) {
  measure(state, "usr/bin/hdiutil", {"info", "-plist"});
}

void HdiutilImageInfo(benchmark::State& state) {
  measure(state, "usr/bin/hdiutil", {"imageinfo", root().image.string()});
}

} // namespace

BENCHMARK(SecurityFindIdentity)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(CodesignDeepVerify)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(CodesignDisplay)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(SpctlAssess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(HdiutilInfo)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(HdiutilImageInfo)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK_MAIN();
