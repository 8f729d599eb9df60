#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MinimalPDF.hpp"
#include "core/Legal/PDFDocumentReader.hpp"
#include "core/Support/TemporaryFolder.hpp"

using halyard::PDFDocumentReader;

namespace {

// One page per text, each shown with font F1.
std::string pdf(const std::vector<std::string>& pages) {
  std::vector<std::string> contents;
  for (const auto& text : pages)
    contents.push_back("BT /F1 12 Tf 20 50 Td (" + text + ") Tj ET");
  return bosun::testing::minimalPDF(contents, "0 0 400 100");
}

TEST(PDFDocumentReaderTest, ReadsEveryPageAndRefusesDamagedFiles) {
  halyard::TemporaryFolder folder("PDFDocumentReaderTest_");
  const auto write = [&](const std::string& bytes) {
    const auto path = folder.path() / "eula.pdf";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  // e-acute and the curly quotes in Windows ANSI: 0xE9, 0x91, 0x92.
  const auto text = PDFDocumentReader::read(write(pdf({"Caf\xE9 \x91q\x92", "Second page"})));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->string(), "Caf\u00e9 \u2018q\u2019\nSecond page");

  for (const auto& bytes : {std::string("%PDF-1.4\nthis is not a document\n%%EOF\n"), std::string(),
                            pdf({"x"}).substr(0, 40)})
    EXPECT_FALSE(PDFDocumentReader::read(write(bytes)));
}

} // namespace
