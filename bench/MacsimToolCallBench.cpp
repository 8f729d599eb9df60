// How long one call of a stand-in tool takes on small inputs, against starting /bin/true in the
// same run. Every figure is reported as "x_true": the call's time divided by the baseline's.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

int runQuietly(const std::string& executable, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {executable};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (auto& item : argv)
    pointers.push_back(item.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int started =
      posix_spawn(&pid, executable.c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
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

double baselineSeconds() {
  static const double seconds = [] {
    constexpr int rounds = 50;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
      runQuietly("/bin/true", {});
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
  }();
  return seconds;
}

void measure(benchmark::State& state, const std::string& tool,
             const std::vector<std::string>& arguments) {
  const std::string executable = (root().root / tool).string();
  const double baseline = baselineSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state)
    benchmark::DoNotOptimize(runQuietly(executable, arguments));
  const double perCall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(state.iterations());
  char label[48];
  std::snprintf(label, sizeof label, "x_true=%.2f", perCall / baseline);
  state.SetLabel(label);
}

void BaselineTrue(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(runQuietly("/bin/true", {}));
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

BENCHMARK(BaselineTrue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SecurityFindIdentity)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CodesignDeepVerify)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CodesignDisplay)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SpctlAssess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HdiutilInfo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HdiutilImageInfo)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
