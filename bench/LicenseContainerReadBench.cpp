// Reading a 1 MB DOCX and a 1 MB PDF license against a plain read of the same file in the same
// run. The ratio (x_plain_read) is the cost of unpacking, parsing and collecting the text; the
// guarded reading of untrusted documents must stay affordable for a license of this size.

#include <benchmark/benchmark.h>

#include <archive.h>
#include <archive_entry.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/Legal/OfficeDocumentReader.hpp"
#include "core/Legal/PDFDocumentReader.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "support/MinimalPDF.hpp"

namespace {

constexpr std::size_t targetSize = std::size_t{1} << 20;

halyard::TemporaryFolder& folder() {
  static halyard::TemporaryFolder shared("LicenseContainerReadBench_");
  return shared;
}

// Words drawn at random from a small vocabulary, so that the text compresses like prose.
std::string words(std::mt19937& random, std::size_t count) {
  static const char* const vocabulary[] = {
      "license",  "software", "agreement",  "party",   "warranty", "liability", "the",   "of",
      "and",      "to",       "any",        "use",     "rights",   "reserved",  "shall", "not",
      "provided", "without",  "limitation", "damages", "terms",    "copy",      "may",   "user"};
  std::string text;
  for (std::size_t index = 0; index < count; ++index) {
    if (index > 0) text += ' ';
    text += vocabulary[random() % (sizeof vocabulary / sizeof vocabulary[0])];
  }
  return text;
}

std::string zipped(const std::string& name, const std::string& content) {
  std::vector<char> buffer(content.size() + 65536);
  std::size_t used = 0;
  archive* writer = archive_write_new();
  archive_write_set_format_zip(writer);
  archive_write_set_bytes_in_last_block(writer, 1);
  archive_write_open_memory(writer, buffer.data(), buffer.size(), &used);
  archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, name.c_str());
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_perm(entry, 0644);
  archive_entry_set_size(entry, static_cast<la_int64_t>(content.size()));
  archive_write_header(writer, entry);
  archive_write_data(writer, content.data(), content.size());
  archive_entry_free(entry);
  archive_write_close(writer);
  archive_write_free(writer);
  return std::string(buffer.data(), used);
}

const std::filesystem::path& docx() {
  static const std::filesystem::path path = [] {
    std::mt19937 random(1);
    std::string body;
    std::string file;
    // Grow the document (doubling, so that it is zipped only a few times) until the container
    // reaches the target size.
    std::size_t paragraphs = 1000;
    while (file.size() < targetSize) {
      while (paragraphs-- > 0)
        body += "<w:p><w:r><w:t xml:space=\"preserve\">" + words(random, 40) +
                " </w:t></w:r><w:r><w:rPr><w:b/><w:color w:val=\"C00000\"/></w:rPr><w:t>" +
                words(random, 5) + "</w:t></w:r></w:p>";
      file = zipped("word/document.xml",
                    "<?xml version=\"1.0\"?><w:document xmlns:w=\"http://schemas.openxmlformats."
                    "org/wordprocessingml/2006/main\"><w:body>" +
                        body + "</w:body></w:document>");
      paragraphs = static_cast<std::size_t>(static_cast<double>(body.size()) / 400 *
                                            (static_cast<double>(targetSize) / file.size() - 1)) +
                   1;
    }
    const auto result = folder().path() / "eula.docx";
    std::ofstream(result, std::ios::binary) << file;
    return result;
  }();
  return path;
}

const std::filesystem::path& pdf() {
  static const std::filesystem::path path = [] {
    std::mt19937 random(2);
    std::vector<std::string> contents;
    std::size_t total = 0;
    while (total < targetSize) {
      std::string content = "BT /F1 9 Tf 12 TL 40 800 Td";
      for (int line = 0; line < 60; ++line)
        content += " (" + words(random, 12) + ") '";
      content += " ET";
      total += content.size();
      contents.push_back(std::move(content));
    }
    const auto result = folder().path() / "eula.pdf";
    std::ofstream(result, std::ios::binary) << bosun::testing::minimalPDF(contents, "0 0 595 842");
    return result;
  }();
  return path;
}

// Processor time of this thread, so that other work on a shared machine does not skew the ratio.
double cpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Each iteration reads the file plainly, then with the reader; the counters give both processor
// times and their ratio.
template <typename Reader>
void measure(benchmark::State& state, const std::filesystem::path& file, Reader read) {
  double plain = 0;
  double reader = 0;
  for (auto _ : state) {
    double start = cpuSeconds();
    benchmark::DoNotOptimize(halyard::RegularFileReader::read(file));
    plain += cpuSeconds() - start;
    start = cpuSeconds();
    const auto text = read(file);
    reader += cpuSeconds() - start;
    if (!text || text->runs.empty()) {
      state.SkipWithError("the document gave no text");
      return;
    }
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
  state.counters["plain_read_ms"] = plain / iterations * 1000;
  state.counters["reader_ms"] = reader / iterations * 1000;
  state.counters["x_plain_read"] = reader / plain;
}

void BM_ReadDOCX(benchmark::State& state) {
  measure(state, docx(),
          [](const auto& file) { return halyard::OfficeDocumentReader::read(file); });
}

void BM_ReadPDF(benchmark::State& state) {
  measure(state, pdf(), [](const auto& file) { return halyard::PDFDocumentReader::read(file); });
}

} // namespace

BENCHMARK(BM_ReadDOCX)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPDF)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
