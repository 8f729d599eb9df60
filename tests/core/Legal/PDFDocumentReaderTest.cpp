#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Legal/PDFDocumentReader.hpp"
#include "core/Support/TemporaryFolder.hpp"

using halyard::PDFDocumentReader;

namespace {

// A PDF with one page per text, each shown in Helvetica with the Windows ANSI encoding; the
// cross-reference table holds the objects' real offsets.
std::string pdf(const std::vector<std::string>& pages) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                                      "/Encoding /WinAnsiEncoding >>"};
  std::string kids;
  for (const auto& text : pages) {
    const std::size_t page = objects.size() + 1;
    kids += std::to_string(page) + " 0 R ";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 100] /Resources << /Font "
                      "<< /F1 3 0 R >> >> /Contents " +
                      std::to_string(page + 1) + " 0 R >>");
    const std::string content = "BT /F1 12 Tf 20 50 Td (" + text + ") Tj ET";
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                      "\nendstream");
  }
  objects[1] =
      "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";

  std::string file = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t index = 0; index < objects.size(); ++index) {
    offsets.push_back(file.size());
    file += std::to_string(index + 1) + " 0 obj\n" + objects[index] + "\nendobj\n";
  }
  const std::size_t xref = file.size();
  file += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    const std::string number = std::to_string(offset);
    file += std::string(10 - number.size(), '0') + number + " 00000 n \n";
  }
  file += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
          " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return file;
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
