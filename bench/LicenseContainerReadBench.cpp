// Reading a 1 MB DOCX, ODT, Word 97, HTML and PDF license against a plain read of the same file in
// the same run. The ratio (x_plain_read) is the cost of unpacking, parsing and collecting the text
// with its formatting and list labels; the guarded reading of untrusted documents must stay
// affordable for a license of this size. (RTF is measured by LicenseReadBench.)

#include <benchmark/benchmark.h>

#include <archive.h>
#include <archive_entry.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/Legal/LicenseDocumentReader.hpp"
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

std::string zipped(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::size_t total = 65536;
  for (const auto& [name, content] : entries)
    total += content.size() + 1024;
  std::vector<char> buffer(total);
  std::size_t used = 0;
  archive* writer = archive_write_new();
  archive_write_set_format_zip(writer);
  archive_write_set_bytes_in_last_block(writer, 1);
  archive_write_open_memory(writer, buffer.data(), buffer.size(), &used);
  for (const auto& [name, content] : entries) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(content.size()));
    archive_write_header(writer, entry);
    archive_write_data(writer, content.data(), content.size());
    archive_entry_free(entry);
  }
  archive_write_close(writer);
  archive_write_free(writer);
  return std::string(buffer.data(), used);
}

// A container of about the target size: `paragraph` makes the XML of one paragraph (given its
// index), `wrap` the whole part around them; the paragraphs are doubled until the file is
// large enough, so that it is zipped only a few times.
template <typename Paragraph, typename Wrap>
std::string growContainer(Paragraph paragraph, Wrap wrap) {
  std::string body;
  std::string file;
  std::size_t paragraphs = 1000;
  std::size_t index = 0;
  while (file.size() < targetSize) {
    while (paragraphs-- > 0)
      body += paragraph(index++);
    file = wrap(body);
    paragraphs = static_cast<std::size_t>(static_cast<double>(index) *
                                          (static_cast<double>(targetSize) / file.size() - 1)) +
                 1;
  }
  return file;
}

// Every fifth paragraph is a list item (numbered, from a numbering part).
const std::filesystem::path& docx() {
  static const std::filesystem::path path = [] {
    std::mt19937 random(1);
    const std::string numbering =
        "<?xml version=\"1.0\"?><w:numbering xmlns:w=\"http://schemas.openxmlformats.org/"
        "wordprocessingml/2006/main\"><w:abstractNum w:abstractNumId=\"1\"><w:lvl w:ilvl=\"0\">"
        "<w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/></w:lvl>"
        "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"1\"/></w:num></w:numbering>";
    const auto file = growContainer(
        [&](std::size_t index) {
          return std::string("<w:p>") +
                 (index % 5 == 0 ? "<w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/>"
                                   "</w:numPr></w:pPr>"
                                 : "") +
                 "<w:r><w:t xml:space=\"preserve\">" + words(random, 40) +
                 " </w:t></w:r><w:r><w:rPr><w:b/><w:color w:val=\"C00000\"/></w:rPr><w:t>" +
                 words(random, 5) + "</w:t></w:r></w:p>";
        },
        [&](const std::string& body) {
          return zipped(
              {{"word/document.xml", "<?xml version=\"1.0\"?><w:document xmlns:w=\"http://schemas."
                                     "openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
                                         body + "</w:body></w:document>"},
               {"word/numbering.xml", numbering}});
        });
    const auto result = folder().path() / "eula.docx";
    std::ofstream(result, std::ios::binary) << file;
    return result;
  }();
  return path;
}

// Styled spans and a bulleted list of three items after every fifth paragraph.
const std::filesystem::path& odt() {
  static const std::filesystem::path path = [] {
    std::mt19937 random(3);
    const auto file = growContainer(
        [&](std::size_t index) {
          std::string xml = "<text:p>" + words(random, 40) + " <text:span text:style-name=\"T1\">" +
                            words(random, 5) + "</text:span></text:p>";
          if (index % 5 == 0) {
            xml += "<text:list text:style-name=\"L1\">";
            for (int item = 0; item < 3; ++item)
              xml += "<text:list-item><text:p>" + words(random, 8) + "</text:p></text:list-item>";
            xml += "</text:list>";
          }
          return xml;
        },
        [&](const std::string& body) {
          return zipped(
              {{"content.xml",
                "<?xml version=\"1.0\"?><office:document-content "
                "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\">"
                "<office:automatic-styles><style:style style:name=\"T1\" style:family=\"text\">"
                "<style:text-properties fo:font-weight=\"bold\"/></style:style>"
                "<text:list-style style:name=\"L1\"><text:list-level-style-bullet "
                "text:level=\"1\" text:bullet-char=\"\u2022\"/></text:list-style>"
                "</office:automatic-styles><office:body><office:text>" +
                    body + "</office:text></office:body></office:document-content>"}});
        });
    const auto result = folder().path() / "eula.odt";
    std::ofstream(result, std::ios::binary) << file;
    return result;
  }();
  return path;
}

// A style sheet of element and class rules, classed paragraphs and an ordered list.
const std::filesystem::path& html() {
  static const std::filesystem::path path = [] {
    std::mt19937 random(4);
    std::string page = "<!DOCTYPE html><html><head><style>p { color: #1a1a1a } .term { "
                       "font-weight: bold } h2.part { font-style: italic } a:link { color: blue "
                       "}</style></head><body>";
    for (std::size_t index = 0; page.size() < targetSize; ++index) {
      page += "<p class=\"clause\">" + words(random, 40) + " <span class=\"term\">" +
              words(random, 5) + "</span></p>\n";
      if (index % 5 == 0)
        page += "<ol><li>" + words(random, 8) + "</li><li>" + words(random, 8) + "</li></ol>\n";
    }
    page += "</body></html>";
    const auto result = folder().path() / "eula.html";
    std::ofstream(result, std::ios::binary) << page;
    return result;
  }();
  return path;
}

void put16(std::string& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}
void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  put16(bytes, at, value & 0xFFFF);
  put16(bytes, at + 2, value >> 16);
}

// A Word 97 document: one 8-bit piece of text and character property pages that make every
// other run of about 64 bytes bold, in a compound file written by libgsf.
const std::filesystem::path& doc() {
  static const std::filesystem::path path = [] {
    std::mt19937 random(5);
    std::string text;
    while (text.size() < targetSize)
      text += words(random, 40) + "\r";
    const std::size_t textAt = 1024;
    std::string word(textAt, '\0');
    put16(word, 0x00, 0xA5EC);
    put16(word, 0x02, 0x00C1);
    put16(word, 0x0A, 0x0200); // the tables are in 1Table
    put16(word, 0x20, 14);
    put16(word, 0x3E, 22);
    put16(word, 0x98, 93);
    put32(word, 0x4C, static_cast<std::uint32_t>(text.size()));
    word += text;
    word.resize((word.size() + 511) / 512 * 512, '\0');
    // Character pages: 32 runs of 64 bytes each, the odd ones bold (one property, 0x0835 = 1).
    std::string table;
    std::vector<std::uint32_t> pageStarts, pageNumbers;
    for (std::size_t start = textAt; start < textAt + text.size(); start += 32 * 64) {
      std::string page(512, '\0');
      const std::size_t runs = 32;
      for (std::size_t run = 0; run <= runs; ++run)
        put32(page, 4 * run, static_cast<std::uint32_t>(start + 64 * run));
      // The one property list, at an even offset after the run table: size, code, operand.
      const std::size_t properties = 4 * (runs + 1) + runs + 2;
      page[properties] = 3;
      put16(page, properties + 1, 0x0835);
      page[properties + 3] = 1;
      for (std::size_t run = 1; run < runs; run += 2)
        page[4 * (runs + 1) + run] = static_cast<char>(properties / 2);
      page[511] = static_cast<char>(runs);
      pageStarts.push_back(static_cast<std::uint32_t>(start));
      pageNumbers.push_back(static_cast<std::uint32_t>(word.size() / 512));
      word += page;
    }
    std::string bins;
    for (const auto start : pageStarts) {
      bins.resize(bins.size() + 4);
      put32(bins, bins.size() - 4, start);
    }
    bins.resize(bins.size() + 4);
    put32(bins, bins.size() - 4, static_cast<std::uint32_t>(textAt + text.size() + 4096));
    for (const auto number : pageNumbers) {
      bins.resize(bins.size() + 4);
      put32(bins, bins.size() - 4, number);
    }
    // The piece table: one compressed piece (its byte offset doubled, bit 30 set).
    std::string clx = std::string("\x02", 1) + std::string(4 + 4 * 2 + 8, '\0');
    put32(clx, 1, 4 * 2 + 8);
    put32(clx, 9, static_cast<std::uint32_t>(text.size()));
    put32(clx, 15, (textAt * 2) | 0x40000000);
    table = bins + clx;
    const std::size_t pairsAt = 0x9A;
    put32(word, pairsAt + 8 * 12, 0);
    put32(word, pairsAt + 8 * 12 + 4, static_cast<std::uint32_t>(bins.size()));
    put32(word, pairsAt + 8 * 33, static_cast<std::uint32_t>(bins.size()));
    put32(word, pairsAt + 8 * 33 + 4, static_cast<std::uint32_t>(clx.size()));

    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* container = gsf_outfile_msole_new(sink);
    for (const auto& [name, bytes] :
         {std::pair<const char*, const std::string&>{"WordDocument", word},
          std::pair<const char*, const std::string&>{"1Table", table}}) {
      GsfOutput* stream = gsf_outfile_new_child(container, name, FALSE);
      gsf_output_write(stream, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
      gsf_output_close(stream);
      g_object_unref(stream);
    }
    gsf_output_close(GSF_OUTPUT(container));
    g_object_unref(container);
    const auto result = folder().path() / "eula.doc";
    std::ofstream(result, std::ios::binary)
        .write(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
               static_cast<std::streamsize>(gsf_output_size(sink)));
    g_object_unref(sink);
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

// Each format through the reader that chooses by name and content, as the agreement loads it.
void BM_ReadDOCX(benchmark::State& state) {
  measure(state, docx(), halyard::LicenseDocumentReader::read);
}

void BM_ReadODT(benchmark::State& state) {
  measure(state, odt(), halyard::LicenseDocumentReader::read);
}

void BM_ReadDOC(benchmark::State& state) {
  measure(state, doc(), halyard::LicenseDocumentReader::read);
}

void BM_ReadHTML(benchmark::State& state) {
  measure(state, html(), halyard::LicenseDocumentReader::read);
}

void BM_ReadPDF(benchmark::State& state) {
  measure(state, pdf(), [](const auto& file) { return halyard::PDFDocumentReader::read(file); });
}

} // namespace

BENCHMARK(BM_ReadDOCX)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadODT)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDOC)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHTML)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPDF)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
