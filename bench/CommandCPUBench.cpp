// bosun's own CPU time beside the CPU time of the tools it runs, for `verify`, `inspect` and
// `notarize` of stand-in artifacts (a released app, DMG and PKG). Each run spawns the built
// binary; once it has exited, and before it is reaped, its own CPU time is read from its process
// CPU clock (the tools it reaped are not part of that clock). The tools' time is the growth of
// this process's RUSAGE_CHILDREN over the run (bosun and everything it reaped) minus bosun's own.
// Each benchmark prints the ratio own / tools; the goal is at most 15%. Since bosun's start-up
// is most of its own time beside these quick stand-ins, every iteration also runs
// `bosun --version` (interleaved, so load falls on both alike), and the ratio is printed a second
// time for the command's own work beyond that start-up. BOSUN_CPU_BINARY names another build of
// bosun to measure instead; BOSUN_CPU_EARLIER names an earlier build to run after each measured
// run, on the same work, whose own CPU is then shown beside (and the paired difference).

#include <benchmark/benchmark.h>

#include "QuietSpawn.hpp"

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/Process/CoreCommand.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace fs = std::filesystem;

namespace {

constexpr const char* application = "Developer ID Application: Bench Corp (A1B2C3D4E5)";
constexpr const char* installer = "Developer ID Installer: Bench Corp (A1B2C3D4E5)";
constexpr const char* profile = "bench";

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double childrenCPU() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void tool(const char* platformPath, const std::vector<std::string>& arguments) {
  halyard::CoreCommand::run(platformPath, arguments, 600);
}

// A stand-in root with the release identities and a notary profile, and in the fixture's folder:
// Bench.app (signed, notarized, stapled), Bench.dmg holding it and Bench.pkg installing it (both
// signed, notarized and stapled), and Signed.dmg / Signed.pkg (signed only) for notarize.
struct Fixture {
  halyard::TemporaryFolder folder{"CommandCPUBench_"};
  fs::path root = folder.path() / "root";
  fs::path app = folder.path() / "Bench.app";
  fs::path dmg = folder.path() / "Bench.dmg";
  fs::path pkg = folder.path() / "Bench.pkg";
  fs::path signedDMG = folder.path() / "Signed.dmg";
  fs::path signedPKG = folder.path() / "Signed.pkg";

  Fixture() {
    const std::string macsim = MACSIM_BINARY;
    halyard::CoreCommand::run(macsim, {"init", root.string()}, 60);
    for (const auto* identity : {application, installer})
      halyard::CoreCommand::run(macsim, {"identity", "add", identity, "--root", root.string()}, 60);
    halyard::CoreCommand::run(macsim, {"profile", "add", profile, "--root", root.string()}, 60);
    fs::create_directories(app / "Contents" / "MacOS");
    fs::create_directories(app / "Contents" / "Resources");
    halyard::CoreCommand::run(macsim,
                              {"machO", "--arch", "arm64", "--arch", "x86_64",
                               (app / "Contents" / "MacOS" / "Bench").string()},
                              60);
    std::ofstream(app / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "  <key>CFBundleExecutable</key><string>Bench</string>\n"
           "  <key>CFBundleIdentifier</key><string>com.example.bench</string>\n"
           "  <key>CFBundleName</key><string>Bench</string>\n"
           "  <key>CFBundlePackageType</key><string>APPL</string>\n"
           "  <key>CFBundleShortVersionString</key><string>1.0</string>\n"
           "  <key>CFBundleVersion</key><string>1.0</string>\n"
           "</dict>\n</plist>\n";
    for (int i = 0; i < 50; ++i)
      std::ofstream(app / "Contents" / "Resources" / ("resource" + std::to_string(i) + ".txt"))
          << std::string(4096, static_cast<char>('a' + i % 26));

    const fs::path temporary = folder.path() / "tmp";
    fs::create_directories(temporary);
    ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    ::setenv("HOME", folder.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder.path() / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (folder.path() / ".cache").c_str(), 1);
    ::setenv("BOSUN_NO_UPDATE_CHECK", "1", 1);

    tool("/usr/bin/codesign",
         {"--force", "--options", "runtime", "--timestamp", "--sign", application, app.string()});
    const fs::path zip = folder.path() / "Bench.zip";
    tool("/usr/bin/ditto", {"-c", "-k", "--keepParent", app.string(), zip.string()});
    notarizeAndStaple(zip, app);

    const fs::path contents = folder.path() / "contents";
    fs::create_directories(contents);
    fs::copy(app, contents / "Bench.app", fs::copy_options::recursive);
    fs::create_directory_symlink("/Applications", contents / "Applications");
    tool("/usr/bin/hdiutil", {"create", "-srcfolder", contents.string(), "-volname", "Bench",
                              "-format", "UDZO", "-ov", signedDMG.string()});
    tool("/usr/bin/codesign", {"--force", "--sign", application, signedDMG.string()});

    const fs::path payload = folder.path() / "payload";
    fs::create_directories(payload);
    fs::copy(app, payload / "Bench.app", fs::copy_options::recursive);
    tool("/usr/bin/pkgbuild", {"--root", payload.string(), "--identifier", "com.example.bench",
                               "--version", "1.0", "--install-location", "/Applications", "--sign",
                               installer, "--timestamp", signedPKG.string()});

    fs::copy_file(signedDMG, dmg);
    notarizeAndStaple(dmg, dmg);
    fs::copy_file(signedPKG, pkg);
    notarizeAndStaple(pkg, pkg);
  }

  void notarizeAndStaple(const fs::path& submitted, const fs::path& stapled) {
    tool("/usr/bin/xcrun",
         {"notarytool", "submit", submitted.string(), "--keychain-profile", profile, "--wait"});
    tool("/usr/bin/xcrun", {"stapler", "staple", stapled.string()});
  }
};

const Fixture& fixture() {
  static const Fixture shared;
  return shared;
}

const char* bosunBinary() {
  const char* chosen = std::getenv("BOSUN_CPU_BINARY");
  return chosen && *chosen ? chosen : BOSUN_BINARY;
}

const char* earlierBinary() {
  const char* chosen = std::getenv("BOSUN_CPU_EARLIER");
  return chosen && *chosen ? chosen : nullptr;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + static_cast<long>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

struct Usage {
  bool succeeded = false;
  double own = 0;   // seconds of bosun's own CPU
  double total = 0; // seconds of bosun's and its tools' CPU
};

// Runs bosun with its streams on the null device and measures it (see the top of the file).
Usage runBosun(const std::vector<std::string>& arguments, const char* binary = bosunBinary()) {
  std::vector<std::string> storage{binary};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  const double before = childrenCPU();
  const pid_t pid = bosun::bench::spawnQuietly(std::move(storage));
  if (pid < 0) return {};

  Usage usage;
  siginfo_t info{};
  int waited = 0;
  do {
    waited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
  } while (waited != 0 && errno == EINTR);
  clockid_t clock{};
  timespec own{};
  const bool measured =
      waited == 0 && ::clock_getcpuclockid(pid, &clock) == 0 && ::clock_gettime(clock, &own) == 0;
  int status = 0;
  pid_t reaped = 0;
  do {
    reaped = ::waitpid(pid, &status, 0);
  } while (reaped < 0 && errno == EINTR);
  usage.succeeded = measured && reaped == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  usage.own = static_cast<double>(own.tv_sec) + static_cast<double>(own.tv_nsec) / 1e9;
  usage.total = childrenCPU() - before;
  return usage;
}

// Runs the command once per iteration; `prepare` runs before each, outside the measurement.
template <class Prepare>
void measure(benchmark::State& state, const std::string& label,
             const std::vector<std::string>& arguments, Prepare prepare) {
  std::vector<double> own, tools, startUp, beyond, earlier, saved;
  for (auto _ : state) {
    state.PauseTiming();
    prepare();
    const Usage version = runBosun({"--version"});
    state.ResumeTiming();
    const Usage usage = runBosun(arguments);
    if (!usage.succeeded || !version.succeeded) {
      state.SkipWithError(("bosun " + label + " did not exit with 0").c_str());
      return;
    }
    if (const char* binary = earlierBinary()) {
      state.PauseTiming();
      prepare();
      const Usage before = runBosun(arguments, binary);
      state.ResumeTiming();
      if (!before.succeeded) {
        state.SkipWithError("the earlier build did not exit with 0");
        return;
      }
      earlier.push_back(before.own * 1e3);
      saved.push_back((before.own - usage.own) * 1e3);
    }
    own.push_back(usage.own * 1e3);
    tools.push_back((usage.total - usage.own) * 1e3);
    startUp.push_back(version.own * 1e3);
    beyond.push_back((usage.own - version.own) * 1e3);
  }
  // Medians: robust against the odd run that other work on the machine slowed down.
  const double ownMedian = median(own), toolsMedian = median(tools);
  const double beyondMedian = median(beyond);
  const double ratio = toolsMedian > 0 ? ownMedian / toolsMedian : 0;
  const double beyondRatio = toolsMedian > 0 ? beyondMedian / toolsMedian : 0;
  state.counters["own_ms"] = ownMedian;
  state.counters["startup_ms"] = median(startUp);
  state.counters["beyond_startup_ms"] = beyondMedian;
  state.counters["tools_ms"] = toolsMedian;
  state.counters["own_per_tools"] = ratio;
  state.counters["beyond_startup_per_tools"] = beyondRatio;
  std::printf("bosun %s (medians of %zu runs): own CPU %.2f ms (start-up %.2f ms, beyond it "
              "%.2f ms), its tools' %.2f ms: %.1f%%, %.1f%% beyond start-up (goal at most 15%%)\n",
              label.c_str(), own.size(), ownMedian, median(startUp), beyondMedian, toolsMedian,
              ratio * 100, beyondRatio * 100);
  if (!earlier.empty())
    std::printf(
        "  the earlier build: own CPU %.2f ms; this one saves %.2f ms (median of the pairs)\n",
        median(earlier), median(saved));
}

void measure(benchmark::State& state, const std::string& label,
             const std::vector<std::string>& arguments) {
  measure(state, label, arguments, [] {});
}

void BM_VerifyApp(benchmark::State& state) {
  measure(state, "verify Bench.app", {"verify", fixture().app.string()});
}
void BM_VerifyDMG(benchmark::State& state) {
  measure(state, "verify Bench.dmg", {"verify", fixture().dmg.string()});
}
void BM_VerifyPKG(benchmark::State& state) {
  measure(state, "verify Bench.pkg", {"verify", fixture().pkg.string()});
}
void BM_InspectDMG(benchmark::State& state) {
  measure(state, "inspect Bench.dmg", {"inspect", fixture().dmg.string()});
}
void BM_InspectPKG(benchmark::State& state) {
  measure(state, "inspect Bench.pkg", {"inspect", fixture().pkg.string()});
}

// notarize works on a fresh copy of the signed file each time, so every run does the same work.
void notarizeCopy(benchmark::State& state, const fs::path& original, const std::string& name) {
  const fs::path copy = original.parent_path() / name;
  measure(state, "notarize " + name,
          {"notarize", copy.string(), "--profile", profile, "--identity", application},
          [&] { fs::copy_file(original, copy, fs::copy_options::overwrite_existing); });
}
void BM_NotarizeDMG(benchmark::State& state) {
  notarizeCopy(state, fixture().signedDMG, "Notarized.dmg");
}
void BM_NotarizePKG(benchmark::State& state) {
  notarizeCopy(state, fixture().signedPKG, "Notarized.pkg");
}

} // namespace

BENCHMARK(BM_VerifyApp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_VerifyDMG)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_VerifyPKG)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_InspectDMG)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_InspectPKG)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_NotarizeDMG)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_NotarizePKG)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

BENCHMARK_MAIN();
