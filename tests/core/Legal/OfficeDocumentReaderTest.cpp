#include <archive.h>
#include <archive_entry.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/Legal/OfficeDocumentReader.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"

using halyard::OfficeDocumentReader;
using halyard::TextAttributes;
using halyard::TextColor;
using halyard::TextRun;

namespace halyard {
void PrintTo(const TextRun& run, std::ostream* out) {
  *out << '"' << run.text << "\" bold=" << run.attributes.bold
       << " italic=" << run.attributes.italic
       << " family=" << run.attributes.fontFamily.value_or("-")
       << " size=" << run.attributes.fontSize.value_or(0)
       << " colour=" << run.attributes.color.has_value();
}
} // namespace halyard

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A deflated ZIP archive written with libarchive.
std::string zip(const Entries& entries) {
  std::vector<char> buffer(std::size_t{8} << 20);
  std::size_t used = 0;
  archive* writer = archive_write_new();
  archive_write_set_format_zip(writer);
  archive_write_set_bytes_in_last_block(writer, 1);
  EXPECT_EQ(archive_write_open_memory(writer, buffer.data(), buffer.size(), &used), ARCHIVE_OK);
  for (const auto& [name, content] : entries) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(content.size()));
    EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK);
    EXPECT_EQ(archive_write_data(writer, content.data(), content.size()),
              static_cast<la_ssize_t>(content.size()));
    archive_entry_free(entry);
  }
  archive_write_close(writer);
  archive_write_free(writer);
  return std::string(buffer.data(), used);
}

// Rewrites every little-endian 32-bit uncompressed-size field of the archive's headers (local,
// central and data descriptor) to `size`, as a hostile archive would.
void declareSize(std::string& archive, std::uint32_t size) {
  const auto put = [&](std::size_t at) {
    for (int byte = 0; byte < 4; ++byte)
      archive[at + static_cast<std::size_t>(byte)] = static_cast<char>((size >> (8 * byte)) & 0xFF);
  };
  for (std::size_t at = 0; at + 4 <= archive.size(); ++at) {
    const std::string_view signature(archive.data() + at, 4);
    if (signature == std::string_view("PK\x03\x04", 4)) put(at + 22);
    if (signature == std::string_view("PK\x01\x02", 4)) put(at + 24);
    if (signature == std::string_view("PK\x07\x08", 4)) put(at + 12);
  }
}

const char* const docx = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"
    xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006">
 <w:body>
  <w:p><w:pPr><w:rPr><w:b/></w:rPr></w:pPr>
   <w:r><w:t xml:space="preserve">Plain </w:t></w:r>
   <w:r><w:rPr><w:b/></w:rPr><w:t>bold</w:t></w:r><w:r><w:t xml:space="preserve"> </w:t></w:r>
   <w:r><w:rPr><w:b w:val="0"/><w:i/><w:color w:val="C00000"/><w:sz w:val="28"/>
     <w:rFonts w:ascii="Georgia" w:hAnsi="Georgia"/></w:rPr><w:t>red</w:t><w:tab/><w:t>x</w:t></w:r>
  </w:p>
  <w:p/>
  <w:p><w:hyperlink><w:r><w:t>Caf&#xE9; &#x2019;q&amp;a&#x2019;</w:t><w:br/><w:t>next</w:t></w:r></w:hyperlink>
   <w:del><w:r><w:delText>gone</w:delText></w:r></w:del>
   <w:r><w:instrText>PAGE</w:instrText></w:r>
   <mc:AlternateContent><mc:Choice><w:r><w:t>!</w:t></w:r></mc:Choice>
    <mc:Fallback><w:r><w:t>!</w:t></w:r></mc:Fallback></mc:AlternateContent>
  </w:p>
  <w:tbl><w:tr><w:tc><w:p><w:r><w:t>A</w:t></w:r></w:p></w:tc>
   <w:tc><w:p><w:r><w:t>B</w:t></w:r></w:p></w:tc></w:tr></w:tbl>
  <w:sectPr/>
 </w:body>
</w:document>)";

const char* const odt = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
    xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
    xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
    xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
    xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
    xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0">
 <office:font-face-decls>
  <style:font-face style:name="Serif1" svg:font-family="'DejaVu Serif'"/>
 </office:font-face-decls>
 <office:automatic-styles>
  <style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="T2" style:family="text" style:parent-style-name="T1">
   <style:text-properties fo:font-weight="normal" fo:font-style="italic" fo:color="#c00000"
     fo:font-size="14pt" style:font-name="Serif1"/></style:style>
 </office:automatic-styles>
 <office:body><office:text>
  <text:p>  Plain   <text:span text:style-name="T1">bold</text:span> <text:span text:style-name="T2">red<text:tab/>x</text:span></text:p>
  <text:p/>
  <text:list><text:list-item><text:p>Caf&#xE9; &#x2019;q&amp;a&#x2019;<text:line-break/>next<text:s text:c="2"/>!<text:note><text:note-body><text:p>note</text:p></text:note-body></text:note></text:p></text:list-item></text:list>
  <table:table><table:table-row><table:table-cell><text:p>A</text:p></table:table-cell>
   <table:table-cell>
    <text:p>B</text:p></table:table-cell></table:table-row></table:table>
 </office:text></office:body>
</office:document-content>)";

class OfficeDocumentReaderTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"OfficeDocumentReaderTest_"};
  std::filesystem::path write(const std::string& name, const std::string& bytes) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
};

// Both formats describe the same document; its text and runs must come out alike.
TEST_F(OfficeDocumentReaderTest, ReadsTextAndRunStyles) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"eula.docx", zip({{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", docx}})},
      {"eula.ODT",
       zip({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", odt}})}};
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    const auto text = OfficeDocumentReader::read(write(name, bytes));
    ASSERT_TRUE(text);
    const std::string expected = "Plain bold red\tx\n\nCaf\u00e9 \u2019q&a\u2019\nnext";
    EXPECT_EQ(text->string().substr(0, expected.size()), expected);
    EXPECT_EQ(text->string().substr(expected.size()),
              name == "eula.docx" ? "!\nA\tB" : "  !\nA\tB");

    TextAttributes bold;
    bold.bold = true;
    TextAttributes red;
    red.italic = true;
    red.color = TextColor{0xC0, 0, 0};
    red.fontSize = 14;
    red.fontFamily = name == "eula.docx" ? "Georgia" : "DejaVu Serif";
    ASSERT_GE(text->runs.size(), 4u);
    EXPECT_EQ(text->runs[0], (TextRun{"Plain ", {}}));
    EXPECT_EQ(text->runs[1], (TextRun{"bold", bold}));
    // A paragraph's break takes the attributes of its last run.
    EXPECT_EQ(text->runs[3], (TextRun{"red\tx\n\n", red}));
  }
}

TEST_F(OfficeDocumentReaderTest, HostileOrDamagedContainersGiveNothingWithANote) {
  std::string lyingBomb = zip({{"word/document.xml", std::string(std::size_t{40} << 20, 'a')}});
  declareSize(lyingBomb, 1000);
  Entries crowd;
  for (int index = 0; index < 4100; ++index)
    crowd.emplace_back("f" + std::to_string(index), "");
  crowd.emplace_back("word/document.xml", docx);
  const std::string valid = zip({{"word/document.xml", docx}});
  const std::string entity = std::string(R"(<?xml version="1.0"?><!DOCTYPE w:document [
    <!ENTITY a "aaaaaaaaaaaaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>)") +
                             std::string(docx).substr(std::string(docx).find("<w:document"));

  // A small part whose space elements ask for more than 64 MB of text.
  std::string spaces = std::string(odt).substr(0, std::string(odt).find("<office:body>")) +
                       "<office:body><office:text><text:p>";
  for (int index = 0; index < 70000; ++index)
    spaces += "<text:s text:c=\"1000\"/>";
  spaces += "</text:p></office:text></office:body></office:document-content>";

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"honest bomb", zip({{"word/document.xml", std::string(std::size_t{33} << 20, 'a')}})},
      {"lying bomb", lyingBomb},
      {"too many entries", zip(crowd)},
      {"truncated", valid.substr(0, valid.size() / 2)},
      {"no document part", zip({{"word/other.xml", docx}})},
      {"entity declarations", zip({{"word/document.xml", entity}})},
      {"not XML", zip({{"word/document.xml", "<w:document"}})},
      {"not a ZIP", "PK\x03\x04 nothing more"},
      {"odt space amplification", zip({{"content.xml", spaces}})}};
  for (const auto& [label, bytes] : cases) {
    SCOPED_TRACE(label);
    std::vector<std::string> notes;
    halyard::HalyardCoreLog::debug = [&](const std::string& message) { notes.push_back(message); };
    const auto file = write(label.rfind("odt", 0) == 0 ? "eula.odt" : "eula.docx", bytes);
    EXPECT_FALSE(OfficeDocumentReader::read(file));
    halyard::HalyardCoreLog::debug = nullptr;
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind("[Halyard] Legal document refused (", 0), 0u);
    EXPECT_NE(notes[0].find(file.string()), std::string::npos);
  }
}

} // namespace
