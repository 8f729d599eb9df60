#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Legal/WordDocumentReader.hpp"
#include "core/Support/TemporaryFolder.hpp"

using halyard::WordDocumentReader;

namespace {

void put16(std::string& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}
void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  put16(bytes, at, value & 0xFFFF);
  put16(bytes, at + 2, value >> 16);
}
void append16(std::string& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 2);
  put16(bytes, bytes.size() - 2, value);
}
void append32(std::string& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  put32(bytes, bytes.size() - 4, value);
}

// A compound file with the given streams, written by libgsf.
std::string compoundFile(const std::vector<std::pair<const char*, std::string>>& streams) {
  GsfOutput* sink = gsf_output_memory_new();
  GsfOutfile* container = gsf_outfile_msole_new(sink);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* stream = gsf_outfile_new_child(container, name, FALSE);
    gsf_output_write(stream, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(stream);
    g_object_unref(stream);
  }
  gsf_output_close(GSF_OUTPUT(container));
  g_object_unref(container);
  const std::string file(
      reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
      static_cast<std::size_t>(gsf_output_size(sink)));
  g_object_unref(sink);
  return file;
}

struct WordFile {
  std::uint32_t version = 0x00C1; // Word 97
  std::uint32_t flags = 0x0200;   // the piece table is in 1Table
  bool pieceBeyondStream = false;

  // The main text is 8-bit piece (Windows-1252 at byte 1024) then a UTF-16 piece (at byte
  // 2048); the second piece runs on past the main text into a footnote, which is not read.
  std::string bytes() const {
    std::string word(4096, '\0');
    // File information block at its fixed Word 97 offsets.
    put16(word, 0x00, 0xA5EC);
    put16(word, 0x02, version);
    put16(word, 0x0A, flags);
    put16(word, 0x20, 14); // 16-bit words that follow
    put16(word, 0x3E, 22); // 32-bit longs that follow
    put16(word, 0x98, 93); // offset/length pairs that follow
    const std::string narrow = "Caf\xE9 \x92q\x92\r";
    std::u16string wide = u"\u03A9 \x13PAGE\x14"
                          u"3\x15\x0B"
                          u"end\x1F\x07\r";
    const std::uint32_t mainLength = static_cast<std::uint32_t>(narrow.size() + wide.size());
    wide += u"footnote\r";
    put32(word, 0x4C, mainLength); // ccpText
    word.replace(1024, narrow.size(), narrow);
    for (std::size_t index = 0; index < wide.size(); ++index)
      put16(word, 2048 + 2 * index, wide[index]);

    std::string table(512, '\0');
    // Clx: one property run to skip, then the piece table.
    table += std::string("\x01\x02\x00\xAA\xBB", 5);
    table += '\x02';
    append32(table, 4 * 3 + 8 * 2);
    append32(table, 0);
    append32(table, static_cast<std::uint32_t>(narrow.size()));
    append32(table, static_cast<std::uint32_t>(narrow.size() + wide.size()));
    append16(table, 0);
    append32(table, (1024 * 2) | 0x40000000);
    append16(table, 0);
    append16(table, 0);
    append32(table, pieceBeyondStream ? 4090 : 2048);
    append16(table, 0);
    put32(word, 0x1A2, 512);                                            // fcClx
    put32(word, 0x1A6, static_cast<std::uint32_t>(table.size() - 512)); // lcbClx
    return compoundFile({{"WordDocument", word}, {"1Table", table}});
  }
};

TEST(WordDocumentReaderTest, ReadsThePieceTable) {
  halyard::TemporaryFolder folder("WordDocumentReaderTest_");
  const auto write = [&](const std::string& bytes) {
    const auto path = folder.path() / "eula.doc";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  const auto text = WordDocumentReader::read(write(WordFile{}.bytes()));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->string(), "Caf\u00e9 \u2019q\u2019\n\u03A9 3\nend\t\n");

  WordFile encrypted;
  encrypted.flags |= 0x0100;
  WordFile word95;
  word95.version = 0x0068;
  WordFile damaged;
  damaged.pieceBeyondStream = true;
  for (const auto& bytes : {encrypted.bytes(), word95.bytes(), damaged.bytes(),
                            compoundFile({{"Other", "x"}}), std::string("not a compound file")})
    EXPECT_FALSE(WordDocumentReader::read(write(bytes)));
}

// A document saved by a real word processor (see tests/data/legal/README.md).
TEST(WordDocumentReaderTest, ReadsAWordProcessorsFile) {
  const auto text =
      WordDocumentReader::read(std::filesystem::path(TEST_DATA_DIR) / "legal/eula.doc");
  ASSERT_TRUE(text);
  // The link is a field: its code is hidden, its result kept.
  EXPECT_EQ(text->string(), "End-user License Agreement\nCaf\u00e9 \u2018quoted\u2019 \u2014 "
                            "\u03A9 bold see the terms.\nA\tB\nLast line.\n");
}

} // namespace
