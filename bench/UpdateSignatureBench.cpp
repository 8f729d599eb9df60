// Signing a 200 MB disk image for the update feed (Ed25519 over the file's bytes, through a memory
// map) against `sha256sum` of the same file in the same run, and against the library's own
// SHA-256 of it. The ratio to sha256sum is what signing adds to a release.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <fstream>
#include <string>

#include "QuietSpawn.hpp"
#include "core/Appcast/EdSigningKey.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace {

constexpr std::size_t fileSize = 200 * 1024 * 1024;

const std::filesystem::path& diskImage() {
  static halyard::TemporaryFolder folder("UpdateSignatureBench_");
  static const auto file = [] {
    const auto path = folder.path() / "Release.dmg";
    std::ofstream stream(path, std::ios::binary);
    std::string block(1024 * 1024, '\0');
    for (std::size_t written = 0, n = 0; written < fileSize; written += block.size(), ++n) {
      for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 131 + n * 7) % 251);
      stream.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    return path;
  }();
  return file;
}

void BM_Sha256sum(benchmark::State& state) {
  const auto& file = diskImage();
  for (auto _ : state) {
    const pid_t pid = bosun::bench::spawnQuietly({"/usr/bin/sha256sum", file.string()});
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || status != 0) {
      state.SkipWithError("sha256sum failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fileSize));
}

void BM_LibrarySHA256(benchmark::State& state) {
  const auto& file = diskImage();
  for (auto _ : state)
    benchmark::DoNotOptimize(halyard::SHA256::hexDigestOfFile(file));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fileSize));
}

void BM_Ed25519SignFile(benchmark::State& state) {
  const auto& file = diskImage();
  const auto key =
      halyard::EdSigningKey::fromBase64("nWGxne/9WmC6hEr0kuwsxERJxWl7MmkZcDusAxyuf2A=");
  for (auto _ : state)
    benchmark::DoNotOptimize(key.signFile(file));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fileSize));
}

} // namespace

BENCHMARK(BM_Sha256sum)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibrarySHA256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ed25519SignFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
