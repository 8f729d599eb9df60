// Reading a 1 MB RTF license (styled runs, code-page bytes, Unicode escapes, a font and colour
// table) against a plain read of the same file in the same run. The ratio of the two is the cost
// of the RTF reader; writing the result back as RTF is measured beside it.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "core/Legal/LicenseDocumentReader.hpp"
#include "core/Legal/LicenseFormatter.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace {

const std::filesystem::path& licenseRTF() {
  static halyard::TemporaryFolder folder("LicenseReadBench_");
  static const auto file = [] {
    const auto path = folder.path() / "eula.rtf";
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl\\f0\\fswiss\\fcharset0 "
                      "Helvetica;\\f1\\froman\\fcharset0 Times;}{\\colortbl;\\red200\\green0"
                      "\\blue0;}\n\\pard\\f0\\fs24 ";
    for (int i = 0; rtf.size() < 1024 * 1024; ++i) {
      rtf += "{\\b Section " + std::to_string(i) +
             ".}\\par The licens\\'e9e agrees to the "
             "\\ldblquote terms\\rdblquote{\\i  set out below}, \\cf1 without exception\\cf0 , "
             "and \\uc1\\u8220?nothing\\u8221? more.\\par\n";
    }
    rtf += "}";
    std::ofstream(path, std::ios::binary) << rtf;
    return path;
  }();
  return file;
}

void BM_PlainRead(benchmark::State& state) {
  const auto& file = licenseRTF();
  for (auto _ : state)
    benchmark::DoNotOptimize(halyard::RegularFileReader::read(file));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(file)));
}

void BM_ReadRTF(benchmark::State& state) {
  const auto& file = licenseRTF();
  for (auto _ : state) {
    const auto text = halyard::LicenseDocumentReader::read(file);
    if (!text) {
      state.SkipWithError("the RTF yielded no text");
      break;
    }
    benchmark::DoNotOptimize(text->runs.size());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(file)));
}

void BM_WriteRTF(benchmark::State& state) {
  const auto text = halyard::LicenseDocumentReader::read(licenseRTF());
  for (auto _ : state)
    benchmark::DoNotOptimize(halyard::LicenseFormatter::rtfData(*text));
}

} // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRTF)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRTF)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
