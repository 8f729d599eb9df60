#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/Legal/LicenseDocumentReader.hpp"

using halyard::LicenseDocumentReader;
using halyard::StyledText;

namespace {

// The text of eula-source.fodt and eula-source.md (tests/data/legal), as a reader of the saved
// document sees it: the tracked deletion left out, the insertion kept, the link's text shown, the
// comment left out. What differs by writer is how it labels the list items and whether the
// document still marks the deletion.
std::string expectedText(const std::string& bullet, const std::string& first,
                         const std::string& second, bool deletionShown) {
  return "End-user License Agreement\n"
         "This software is licensed, not sold." +
         std::string(deletionShown ? "The licensor may sell your data." : "") +
         " Read the terms on our website.\n"
         "You may install it on two computers.\n"
         "You must keep this notice and should read it.\n" +
         bullet + "First bullet\n" + bullet + "Second bullet\n" + first + "First step\n" + second +
         "Second step\n"
         "Deutsch: Die Software wird ohne Gew\u00e4hr \u00fcberlassen.\n"
         "\u65e5\u672c\u8a9e\uff1a\u672c\u30bd\u30d5\u30c8\u30a6\u30a7\u30a2\u306f\u73fe\u72b6"
         "\u306e"
         "\u307e\u307e\u63d0\u4f9b\u3055\u308c\u307e\u3059\u3002\n"
         "\u4e2d\u6587\uff1a\u672c\u8f6f\u4ef6\u6309\u539f\u6837\u63d0\u4f9b\u3002\n"
         "\u0420\u0443\u0441\u0441\u043a\u0438\u0439: \u041f\u0440\u043e\u0433\u0440\u0430\u043c"
         "\u043c\u0430 \u043f\u0440\u0435\u0434\u043e\u0441\u0442\u0430\u0432\u043b\u044f\u0435"
         "\u0442\u0441\u044f \u00ab\u043a\u0430\u043a \u0435\u0441\u0442\u044c\u00bb.\n"
         "Last line.";
}

// The run that holds `text`, whose attributes must say bold or italic.
bool styledAs(const StyledText& styled, const std::string& text, bool bold, bool italic) {
  for (const auto& run : styled.runs)
    if (run.text.find(text) != std::string::npos)
      return run.attributes.bold == bold && run.attributes.italic == italic;
  return false;
}

TEST(WordProcessorDocuments, ReadAsTheirReadersSeeThem) {
  const std::string tab = "\t";
  const struct {
    const char* file;
    std::string expected;
    bool linkUnderlined; // where the link's underline is direct formatting, not a named style
  } cases[] = {
      {"libreoffice-eula.rtf", expectedText("\u2022\t", "1.\t", "2.\t", false), true},
      {"libreoffice-eula.doc", expectedText("\u2022\t", "1.\t", "2.\t", false), false},
      {"libreoffice-eula.docx", expectedText("\u2022\t", "1.\t", "2.\t", false), false},
      {"libreoffice-eula.odt", expectedText("\u2022\t", "1.\t", "2.\t", false), false},
      // The HTML export writes deleted text as text (a browser shows it).
      {"libreoffice-eula.html", expectedText("\u2022 ", "1. ", "2. ", true), true},
      {"pandoc-eula.docx", expectedText("\u2022\t", "1.\t", "2.\t", false), false},
      {"pandoc-eula.odt", expectedText("\u2022\t", "1.\t", "2.\t", false), false},
      {"pandoc-eula.rtf", expectedText("\u2022\t", "1.\t", "2.\t", false), true},
      {"pandoc-eula.html", expectedText("\u2022 ", "1. ", "2. ", false), true},
      // The word processor accepted the changes on import; it writes numbered items without
      // their numbers (RTF) and lists as tab-indented paragraphs (ODT).
      {"abiword-eula.rtf", expectedText("\u2022\t", "", "", false), false},
      {"abiword-eula.doc", expectedText("\u2022\t", "", "", false), false}, // RTF under a Word name
      {"abiword-eula.docx", expectedText("\u2022\t", "1.\t", "2.\t", false), true},
      {"abiword-eula.odt", expectedText(tab, tab, tab, false), false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.file);
    const auto text =
        LicenseDocumentReader::read(std::filesystem::path(TEST_DATA_DIR) / "legal" / test.file);
    ASSERT_TRUE(text);
    auto plain = text->string();
    while (!plain.empty() && plain.back() == '\n')
      plain.pop_back();
    EXPECT_EQ(plain, test.expected);
    EXPECT_TRUE(styledAs(*text, "must", true, false));
    EXPECT_TRUE(styledAs(*text, "should", false, true));
    EXPECT_TRUE(styledAs(*text, "\u73fe\u72b6\u306e\u307e\u307e", true, false));
    EXPECT_TRUE(styledAs(*text, "\u539f\u6837", true, false));
    if (test.linkUnderlined) {
      const auto link = std::find_if(text->runs.begin(), text->runs.end(), [](const auto& run) {
        return run.text.find("our website") != std::string::npos;
      });
      ASSERT_NE(link, text->runs.end());
      EXPECT_TRUE(link->attributes.underline);
    }
  }
}

} // namespace
