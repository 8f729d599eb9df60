// A whole `bosun start --no-notarize` of an Electron-like app whose nested code must all be
// re-signed, under the stand-in tools with every timestamped signature waiting 0.2 s (the round
// trip to the timestamp server). The app: the main executable, a framework carrying four
// libraries and a crash handler, a second framework with an updater tool inside, 36 loose
// libraries and native modules and four helper apps: 49 nested items, at most three deep.
// Runs with --jobs 1 (one item at a time), the default job count and --jobs 8 are interleaved
// (1, default, 8, 1, default, 8, ...) so that other load on the machine falls on each alike; the
// figures are the median wall times and their ratios to --jobs 1.

#include <benchmark/benchmark.h>

#include "CheckedRun.hpp"
#include "QuietSpawn.hpp"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/Import/NestedSigningScheduler.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "support/ChildRun.hpp"

namespace fs = std::filesystem;

namespace {

using bosun::bench::runChecked;

constexpr int rounds = 3;

void writeInfo(const fs::path& file, const std::string& executable, const std::string& identifier) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                         "<key>CFBundleExecutable</key><string>"
                      << executable << "</string><key>CFBundleIdentifier</key><string>"
                      << identifier
                      << "</string><key>CFBundlePackageType</key><string>APPL</string>"
                         "<key>CFBundleShortVersionString</key><string>1.0</string></dict>"
                         "</plist>\n";
}

struct Fixture {
  halyard::TemporaryFolder folder{"BosunParallelSigningBench_"};
  std::map<std::string, std::string> environment;
  bool ready = false;

  bool machO(const fs::path& file, const char* type) const {
    fs::create_directories(file.parent_path());
    return runChecked(MACSIM_BINARY, {"machO", "--arch", "arm64", "--type", type, file.string()},
                      environment);
  }

  Fixture() {
    const fs::path home = folder.path() / "home";
    fs::create_directories(home / "tmp");
    environment = bosun::testing::scrubbedEnvironment(home);
    environment["BOSUN_TOOL_ROOT"] = (folder.path() / "root").string();
    ready = runChecked(MACSIM_BINARY, {"init", environment["BOSUN_TOOL_ROOT"]}, environment) &&
            runChecked(MACSIM_BINARY,
                       {"identity", "add", "Developer ID Application: Bench (B3NCHB3NCH)"},
                       environment);
    const fs::path app = folder.path() / "Release" / "Pilot.app";
    const fs::path frameworks = app / "Contents" / "Frameworks";
    writeInfo(app / "Contents" / "Info.plist", "Pilot", "com.example.pilot");
    ready = ready && machO(app / "Contents" / "MacOS" / "Pilot", "execute");

    const fs::path electron = frameworks / "Electron Framework.framework" / "Versions" / "A";
    writeInfo(electron / "Resources" / "Info.plist", "Electron Framework",
              "com.github.Electron.framework");
    ready = ready && machO(electron / "Electron Framework", "dylib") &&
            machO(electron / "Helpers" / "chrome_crashpad_handler", "execute");
    for (const char* library : {"libEGL", "libGLESv2", "libffmpeg", "libvk_swiftshader"})
      ready = ready && machO(electron / "Libraries" / (std::string(library) + ".dylib"), "dylib");
    const fs::path squirrel = frameworks / "Squirrel.framework" / "Versions" / "A";
    writeInfo(squirrel / "Resources" / "Info.plist", "Squirrel", "com.github.Squirrel");
    ready = ready && machO(squirrel / "Squirrel", "dylib") &&
            machO(squirrel / "Resources" / "ShipIt", "execute");

    for (int index = 0; index < 36; ++index) {
      const std::string name = "module" + std::to_string(index);
      ready = ready && (index % 2 == 0 ? machO(frameworks / "native" / (name + ".node"), "bundle")
                                       : machO(frameworks / ("lib" + name + ".dylib"), "dylib"));
    }
    for (const char* suffix : {"", " (GPU)", " (Renderer)", " (Plugin)"}) {
      const std::string name = std::string("Pilot Helper") + suffix;
      const fs::path helper = frameworks / (name + ".app");
      writeInfo(helper / "Contents" / "Info.plist", name, "com.example.pilot.helper");
      ready = ready && machO(helper / "Contents" / "MacOS" / name, "execute");
    }
    environment["MACSIM_CODESIGN_DELAY"] = "0.2";
    environment["MACSIM_CODESIGN_WHEN"] = "--timestamp";
  }
};

// The wall time of one whole release in seconds, or a negative number when it failed.
double release(const Fixture& fixture, const std::vector<std::string>& jobs) {
  std::vector<std::string> arguments{
      BOSUN_BINARY, "start",      (fixture.folder.path() / "Release").string(),
      "--identity", "B3NCHB3NCH", "--no-notarize",
      "--overwrite"};
  arguments.insert(arguments.end(), jobs.begin(), jobs.end());
  std::vector<std::string> entries;
  for (const auto& [name, value] : fixture.environment)
    entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : entries)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = bosun::bench::spawnQuietly(std::move(arguments), envp.data());
  if (pid < 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(end - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void BM_ReleaseWithParallelSigning(benchmark::State& state) {
  static Fixture fixture;
  if (!fixture.ready) {
    state.SkipWithError("the stand-in root could not be set up");
    return;
  }
  const std::vector<std::vector<std::string>> variants{{"--jobs", "1"}, {}, {"--jobs", "8"}};
  std::vector<std::vector<double>> times(variants.size());
  for (auto _ : state) {
    for (int round = 0; round < rounds; ++round) {
      for (size_t variant = 0; variant < variants.size(); ++variant) {
        const double seconds = release(fixture, variants[variant]);
        if (seconds < 0) {
          state.SkipWithError("bosun start did not succeed");
          return;
        }
        times[variant].push_back(seconds);
      }
    }
  }
  const double oneByOne = median(times[0]);
  state.counters["jobs1_s"] = oneByOne;
  state.counters["default_s"] = median(times[1]);
  state.counters["jobs8_s"] = median(times[2]);
  state.counters["defaultJobs"] =
      static_cast<double>(halyard::NestedSigningScheduler::defaultJobs());
  state.counters["default_vs_jobs1"] = median(times[1]) / oneByOne; // goal: at most 0.35
  state.counters["jobs8_vs_jobs1"] = median(times[2]) / oneByOne;
}

BENCHMARK(BM_ReleaseWithParallelSigning)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
