// A whole legacy DMG build of a generated 200 MB, 5,000-file app under the stand-in tools. The
// figures are this process's own CPU time (RUSAGE_SELF) against its children's (RUSAGE_CHILDREN),
// the tools doing the real work, and the process's peak resident size. Goal: own CPU at most 10%
// of the children's, peak RSS at most 64 MB.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "core/DMG/DMGBuilder.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int fileCount = 5000;
constexpr std::size_t fileSize = 40 * 1000; // 5,000 × 40 kB = 200 MB

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double cpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A stand-in root, a temporary directory for the workspace, and the app: 50 folders of 100
// files, each half random bytes and half text, so that compression has real work to do.
struct Fixture {
  halyard::TemporaryFolder folder{"DMGBuildBench_"};
  fs::path root = folder.path() / "root";
  fs::path temporary = folder.path() / "tmp";
  fs::path app = folder.path() / "Bench.app";
  fs::path output = folder.path() / "Bench.dmg";

  Fixture() {
    halyard::CoreCommand::run(MACSIM_BINARY, {"init", root.string()}, 60);
    ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
    fs::create_directories(temporary);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    std::mt19937 random(17);
    std::string bytes(fileSize, '\0');
    for (int group = 0; group < fileCount / 100; ++group) {
      const fs::path resources = app / "Contents" / "Resources" / ("group" + std::to_string(group));
      fs::create_directories(resources);
      for (int i = 0; i < 100; ++i) {
        for (std::size_t at = 0; at < fileSize; ++at)
          bytes[at] = at < fileSize / 2 ? static_cast<char>(random())
                                        : static_cast<char>('a' + (at * 7 + i) % 26);
        std::ofstream(resources / ("asset" + std::to_string(i) + ".bin"), std::ios::binary)
            << bytes;
      }
    }
    fs::create_directories(app / "Contents" / "MacOS");
    std::ofstream(app / "Contents" / "MacOS" / "Bench") << "#!/bin/sh\n";
  }
};

void buildLegacyDMG(benchmark::State& state) {
  static const Fixture fixture;
  halyard::DMGBuildRequest request;
  request.dmgName = "Bench";
  request.arrowSymbol = "arrow.right";
  request.installerWindowSize = {800, 500};
  request.compression = halyard::DMGCompressionFormat::zlib;
  double own = 0, children = 0;
  for (auto _ : state) {
    const double ownBefore = cpuSeconds(RUSAGE_SELF);
    const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
    halyard::DMGBuilder::build(fixture.app, "Bench", fixture.output, request,
                               halyard::LicenseAgreement::none(), false,
                               halyard::DMGStyling::finderLayoutFile, {});
    own += cpuSeconds(RUSAGE_SELF) - ownBefore;
    children += cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
  }
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["ownCPU_s"] = own / iterations;
  state.counters["childrenCPU_s"] = children / iterations;
  state.counters["own_per_children"] = children > 0 ? own / children : 0;
  state.counters["peakRSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0; // kB on Linux
}

} // namespace

BENCHMARK(buildLegacyDMG)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK_MAIN();
