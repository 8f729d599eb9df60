// Discovering license documents in a crowded release folder (10,000 entries, a few of them
// license documents) against a bare listing of the same folder in the same run. The difference
// is the classification and the Finder-order sort; it must stay a small multiple of the listing.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace {

const std::filesystem::path& crowdedFolder() {
  static halyard::TemporaryFolder folder("LicenseScanBench_");
  static const bool filled = [] {
    for (int i = 0; i < 10000; ++i) {
      const char* extension = i % 3 == 0 ? ".txt" : (i % 3 == 1 ? ".rtf" : ".png");
      std::ofstream(folder.path() / ("Document " + std::to_string(i) + extension));
    }
    for (const char* name : {"EULA.rtf", "Terms_fr-FR.md", "Privacy Policy.html"})
      std::ofstream(folder.path() / name);
    return true;
  }();
  static_cast<void>(filled);
  return folder.path();
}

void BM_ListFolder(benchmark::State& state) {
  const auto& folder = crowdedFolder();
  for (auto _ : state) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      count += entry.path().filename().string().size() > 0 ? 1 : 0;
    benchmark::DoNotOptimize(count);
  }
}

void BM_LicenseDocumentURLs(benchmark::State& state) {
  const auto& folder = crowdedFolder();
  const std::set<halyard::LicenseDocumentKind> kinds(halyard::kAllLicenseDocumentKinds.begin(),
                                                     halyard::kAllLicenseDocumentKinds.end());
  for (auto _ : state) {
    const auto urls = halyard::LicenseAgreement::documentURLs(folder, kinds);
    if (urls.size() != 3) {
      state.SkipWithError("expected three license documents");
      break;
    }
  }
}

} // namespace

BENCHMARK(BM_ListFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LicenseDocumentURLs)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
