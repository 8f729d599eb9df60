// A whole `bosun start` of a large app under the stand-in tools: a 200 MB app of 5,000 files,
// signed, built into a DMG, notarized, stapled and checked. Besides the wall time it reports
// bosun's own processor time against that of the tools it runs (the work is the tools'; bosun's
// share should stay at a tenth of theirs or less) and bosun's peak resident memory (goal: at most
// 64 MB), read from /proc while it runs and from its exited (not yet reaped) process entry.

#include <benchmark/benchmark.h>

#include "CheckedRun.hpp"
#include "QuietSpawn.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Support/TemporaryFolder.hpp"
#include "support/ChildRun.hpp"

namespace fs = std::filesystem;

namespace {

using bosun::bench::runChecked;

constexpr int fileCount = 5000;
constexpr size_t totalBytes = 200u * 1024u * 1024u;

std::string readFile(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream content;
  content << stream.rdbuf();
  return content.str();
}

// Spawns the program with the environment, output to /dev/null; returns its process id.
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment) {
  std::vector<std::string> storage{program};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment)
    entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : entries)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  return bosun::bench::spawnQuietly(std::move(storage), envp.data());
}

// A stand-in Mac with the identities and profile of a release, and a release folder with the app.
struct Fixture {
  halyard::TemporaryFolder folder{"BosunStartBench_"};
  std::map<std::string, std::string> environment;
  bool ready = false;

  Fixture() {
    const fs::path home = folder.path() / "home";
    fs::create_directories(home / "tmp");
    environment = bosun::testing::scrubbedEnvironment(home);
    environment["BOSUN_TOOL_ROOT"] = (folder.path() / "root").string();
    const fs::path app = folder.path() / "Release" / "Big.app";
    fs::create_directories(app / "Contents" / "MacOS");
    ready = runChecked(MACSIM_BINARY, {"init", environment["BOSUN_TOOL_ROOT"]}, environment) &&
            runChecked(MACSIM_BINARY,
                       {"identity", "add", "Developer ID Application: Bench (B3NCHB3NCH)"},
                       environment) &&
            runChecked(MACSIM_BINARY, {"profile", "add", "bench"}, environment) &&
            runChecked(MACSIM_BINARY,
                       {"machO", "--arch", "arm64", (app / "Contents" / "MacOS" / "Big").string()},
                       environment);
    std::ofstream(app / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleExecutable</key><string>Big</string>"
           "<key>CFBundleIdentifier</key><string>com.example.big</string>"
           "<key>CFBundlePackageType</key><string>APPL</string>"
           "<key>CFBundleShortVersionString</key><string>1.0</string></dict></plist>\n";
    // Resource files in 50 folders; content that does not compress to nothing.
    std::string block(totalBytes / fileCount, '\0');
    unsigned value = 12345;
    for (int index = 0; index < fileCount; ++index) {
      for (auto& byte : block) {
        value = value * 1103515245u + 12345u;
        byte = static_cast<char>(value >> 24);
      }
      const fs::path resources =
          app / "Contents" / "Resources" / ("group" + std::to_string(index % 50));
      fs::create_directories(resources);
      std::ofstream(resources / ("item" + std::to_string(index) + ".bin"), std::ios::binary)
          << block;
    }
  }
};

// Fields 14 to 17 of /proc/PID/stat (own user and system time, and those of the reaped children),
// in clock ticks.
std::vector<double> processTimes(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::vector<std::string> values{"pid", "comm"};
  std::string value;
  while (fields >> value)
    values.push_back(value);
  if (values.size() < 17) return {};
  return {std::stod(values[13]), std::stod(values[14]), std::stod(values[15]),
          std::stod(values[16])};
}

// VmHWM of /proc/PID/status in kB, or 0.
double peakResidentKilobytes(pid_t pid) {
  std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6));
  }
  return 0;
}

void BM_StartDMGRelease(benchmark::State& state) {
  static Fixture fixture;
  if (!fixture.ready) {
    state.SkipWithError("the stand-in root could not be set up");
    return;
  }
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  double own = 0, children = 0, peak = 0;
  for (auto _ : state) {
    const pid_t pid = spawn(BOSUN_BINARY,
                            {"start", (fixture.folder.path() / "Release").string(), "--identity",
                             "B3NCHB3NCH", "--profile", "bench", "--overwrite"},
                            fixture.environment);
    siginfo_t info{};
    // Sample the memory while it runs; stop at its exit without reaping it.
    while (true) {
      info.si_pid = 0;
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) break;
      if (info.si_pid == pid) break;
      peak = std::max(peak, peakResidentKilobytes(pid));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto times = processTimes(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    if (times.size() != 4 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("bosun start did not succeed");
      return;
    }
    own += (times[0] + times[1]) / ticks;
    children += (times[2] + times[3]) / ticks;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["ownCPU_s"] = own / runs;
  state.counters["toolsCPU_s"] = children / runs;
  state.counters["ownShare"] = children > 0 ? own / children : 0;
  state.counters["peakRSS_MB"] = peak / 1024;
}

BENCHMARK(BM_StartDMGRelease)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
