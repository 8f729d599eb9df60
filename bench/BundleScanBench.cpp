// Scanning a generated 20,000-file Electron-like bundle (counting nested code and classifying),
// and collecting its nested signable items, each against a plain recursive walk of the same tree
// that stats every item: the ratio of the times is the cost of the scanner's walks.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "core/Import/CodeSignScanner.hpp"
#include "core/Import/ImportPreparationEngine.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& file, bool executable = false) {
  std::ofstream(file) << "x";
  if (executable) ::chmod(file.c_str(), 0755);
}

// Spread the way such apps are: the runtime framework with its resources and libraries, helper
// apps, native modules and a vendored package tree in Frameworks, the app's own resources.
struct Bundle {
  halyard::TemporaryFolder folder{"BundleScanBench_"};
  fs::path app = folder.path() / "Beacon.app";
  int files = 0;

  Bundle() {
    const auto contents = app / "Contents";
    fs::create_directories(contents / "MacOS");
    touch(contents / "MacOS/Beacon", true);
    const auto framework = contents / "Frameworks/Electron Framework.framework/Versions/A";
    for (int folder = 0; folder < 60; ++folder) {
      const auto locale = framework / "Resources" / ("locale" + std::to_string(folder) + ".lproj");
      fs::create_directories(locale);
      for (int i = 0; i < 100; ++i, ++files)
        touch(locale / ("strings" + std::to_string(i) + ".pak"));
    }
    fs::create_directories(framework / "Libraries");
    for (int i = 0; i < 20; ++i, ++files)
      touch(framework / "Libraries" / ("lib" + std::to_string(i) + ".dylib"));
    for (int helper = 0; helper < 4; ++helper) {
      const auto macos = contents / "Frameworks" /
                         ("Beacon Helper " + std::to_string(helper) + ".app/Contents/MacOS");
      fs::create_directories(macos);
      touch(macos / "Beacon Helper", true);
      ++files;
    }
    for (int package = 0; package < 200; ++package) {
      const auto folder = contents / "Frameworks/vendor" / ("package" + std::to_string(package));
      fs::create_directories(folder / "build");
      for (int i = 0; i < 48; ++i, ++files)
        touch(folder / ("module" + std::to_string(i) + ".js"));
      touch(folder / "build/binding.node");
      ++files;
    }
    for (int folder = 0; folder < 42; ++folder) {
      const auto resources = contents / "Resources" / ("assets" + std::to_string(folder));
      fs::create_directories(resources);
      for (int i = 0; i < 100 && files < 20000; ++i, ++files)
        touch(resources / ("image" + std::to_string(i) + ".png"));
    }
  }
};

const Bundle& bundle() {
  static const Bundle instance;
  return instance;
}

void plainWalkWithStat(benchmark::State& state) {
  for (auto _ : state) {
    std::size_t executables = 0;
    for (const auto& entry : fs::recursive_directory_iterator(bundle().app)) {
      struct stat info {};
      ::lstat(entry.path().c_str(), &info);
      executables += (info.st_mode & 0111) != 0;
    }
    benchmark::DoNotOptimize(executables);
  }
  state.counters["files"] = bundle().files;
}

void scanStructure(benchmark::State& state) {
  for (auto _ : state) {
    const auto counts = halyard::CodeSignScanner::countNestedCode(bundle().app);
    benchmark::DoNotOptimize(halyard::CodeSignScanner::classify(bundle().app, counts));
  }
}

void collectSignableItems(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(
        halyard::ImportPreparationEngine::collectNestedSignableItems(bundle().app));
}

} // namespace

BENCHMARK(plainWalkWithStat)->Unit(benchmark::kMillisecond);
BENCHMARK(scanStructure)->Unit(benchmark::kMillisecond);
BENCHMARK(collectSignableItems)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
