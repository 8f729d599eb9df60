#include <gtest/gtest.h>

#include <fstream>

#include "core/Legal/LicenseDocumentReader.hpp"
#include "core/Legal/MarkdownReader.hpp"
#include "core/Legal/RTFReader.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

StyledText styled(std::initializer_list<TextRun> runs) {
  StyledText text;
  for (const auto& run : runs)
    text.append(run.text, run.attributes);
  return text;
}

void write(const fs::path& file, std::string_view bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// Collects what the core sends to the debug hook while it lives.
struct DebugLines {
  std::vector<std::string> lines;
  DebugLines() {
    HalyardCoreLog::debug = [this](const std::string& line) { lines.push_back(line); };
  }
  ~DebugLines() { HalyardCoreLog::debug = nullptr; }
};

} // namespace

// An RTF file as word processors write it: tables, a field, code-page bytes, Unicode escapes with
// their fallbacks, destinations that hold no document text.
TEST(RTFReader, ReadsTextAndRunAttributes) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\\deff0\n"
      "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;{\\f1\\froman\\fcharset0 Times New Roman;}}\n"
      "{\\colortbl;\\red255\\green255\\blue255;\\red200\\green0\\blue0;}\n"
      "{\\*\\expandedcolortbl;;}\n{\\info{\\title Hidden}}{\\stylesheet{\\s0 Normal;}}\n"
      "\\pard\\f0\\fs24 Caf\\'e9 \\'93quoted\\'94 \\uc1\\u8220?x\\u8221?\\par\n"
      "{\\b bold}{\\i\\f1\\fs28 italic}\\cf2 red\\cf0 \\tab "
      "{\\field{\\*\\fldinst HYPERLINK \"https://example.com\"}{\\fldrslt link}}"
      "\\u-10179?\\u-8704?\\line end\\\\\\{\\}}";
  TextAttributes base;
  base.fontFamily = "Helvetica";
  base.fontSize = 12;
  auto bold = base;
  bold.bold = true;
  TextAttributes italic;
  italic.fontFamily = "Times New Roman";
  italic.fontSize = 14;
  italic.italic = true;
  auto red = base;
  red.color = TextColor{200, 0, 0};
  EXPECT_EQ(RTFReader::read(rtf), styled({{"Caf\u00e9 \u201Cquoted\u201D \u201Cx\u201D\n", base},
                                          {"bold", bold},
                                          {"italic", italic},
                                          {"red", red},
                                          {"\tlink\U0001F600\nend\\{}", base}}));
}

TEST(RTFReader, DecodesTheDocumentsCodePage) {
  EXPECT_EQ(RTFReader::read("{\\rtf1\\mac \\'8e t}")->string(), "\u00e9 t");
  EXPECT_EQ(RTFReader::read("{\\rtf1\\ansi\\ansicpg1251 \\'c4\\'e0}")->string(), "\u0414\u0430");
  // A font's character set wins over the document's code page (Shift-JIS here).
  EXPECT_EQ(RTFReader::read("{\\rtf1\\ansi{\\fonttbl\\f0\\fcharset128 MS Mincho;}\\f0 \\'93\\'fa}")
                ->string(),
            "\u65e5");
}

TEST(RTFReader, RefusesWhatIsNotRTFOrNestsTooDeeply) {
  EXPECT_FALSE(RTFReader::read("plain text"));
  EXPECT_FALSE(RTFReader::read("{\\rtf1 " + std::string(RTFReader::maximumDepth + 1, '{') + "x}"));
  // Truncated files keep what was read.
  EXPECT_EQ(RTFReader::read("{\\rtf1 {\\b cut")->string(), "cut");
  // \bin data is skipped by its length, braces inside it included.
  EXPECT_EQ(RTFReader::read("{\\rtf1 a{\\*\\blob\\bin3 }{x}b}")->string(), "ab");
}

// What word processors write around the text: tracked deletions, ignorable field results,
// list labels, the emphasis of right-to-left text.
TEST(RTFReader, RevisionsFieldsAndListLabels) {
  const std::pair<const char*, const char*> cases[] = {
      {"{\\rtf1 a{\\deleted b{\\i c}\\deleted0 d}{\\deleted\\plain e}}", "ade"},
      {"{\\rtf1 {\\*\\shppict{\\*\\fldrslt hidden}}{\\*\\fldrslt{\\*\\x y}}z}", "z"},
      {"{\\rtf1{\\listtext \\tab}a\\par{\\listtext  {1}.\\tab}b}", "a\n1.\tb"},
  };
  for (const auto& [rtf, text] : cases)
    EXPECT_EQ(RTFReader::read(rtf)->string(), text) << rtf;
  TextAttributes rightToLeft;
  rightToLeft.italic = true;
  rightToLeft.fontSize = 20;
  EXPECT_EQ(RTFReader::read("{\\rtf1 {\\rtlch\\ai\\afs40 \\ltrch a\\rtlch b}}"),
            styled({{"a", {}}, {"b", rightToLeft}}));
}

TEST(MarkdownReader, InlineSyntaxOnlyWithWhiteSpaceKept) {
  TextAttributes plain;
  plain.fontSize = 12;
  auto bold = plain;
  bold.bold = true;
  auto italic = plain;
  italic.italic = true;
  auto both = bold;
  both.italic = true;
  EXPECT_EQ(MarkdownReader::read("# Title\n\n**Bold** and _it_,  ***both***\n- item"),
            styled({{"# Title\n\n", plain},
                    {"Bold", bold},
                    {" and ", plain},
                    {"it", italic},
                    {",  ", plain},
                    {"both", both},
                    {"\n- item", plain}}));
  const struct {
    const char* markdown;
    const char* text;
  } plainCases[] = {
      {"see [the site](https://x.example/(a)) or ![logo](l.png)", "see the site or logo"},
      {"<https://example.com> and <me@example.com>", "https://example.com and me@example.com"},
      {"snake_case_name, 2 * 3 * 4, \\*kept\\*", "snake_case_name, 2 * 3 * 4, *kept*"},
      {"`a *b* c` and ``x ` y``", "a *b* c and x ` y"},
      {"*not closed\n\nacross* paragraphs", "*not closed\n\nacross* paragraphs"},
      {"[not a link] (x)", "[not a link] (x)"},
  };
  for (const auto& c : plainCases)
    EXPECT_EQ(MarkdownReader::read(c.markdown).string(), c.text);
}

TEST(LicenseDocumentReader, ChoosesTheReaderByExtensionAndDropsBlankResults) {
  TemporaryFolder folder("LicenseReaderTest_");
  const auto& root = folder.path();
  write(root / "a.RTF", "{\\rtf1 rich}");
  write(root / "b.rtfd" / "TXT.rtf", "{\\rtf1 package}");
  write(root / "c.markdown", "**md** \x93q\x94"); // invalid UTF-8, valid Windows-1252
  write(root / "d.text", "plain");
  write(root / "e.txt", " \n\t \r\n");
  write(root / "f.md", "");
  DebugLines debug;

  EXPECT_EQ(LicenseDocumentReader::read(root / "a.RTF")->string(), "rich");
  EXPECT_EQ(LicenseDocumentReader::read(root / "b.rtfd")->string(), "package");
  EXPECT_EQ(LicenseDocumentReader::read(root / "c.markdown")->string(), "md \u201Cq\u201D");
  EXPECT_EQ(LicenseDocumentReader::read(root / "d.text"),
            styled({{"plain", LicenseDocumentReader::plainAttributes()}}));
  EXPECT_FALSE(LicenseDocumentReader::read(root / "e.txt"));
  EXPECT_FALSE(LicenseDocumentReader::read(root / "f.md"));
  EXPECT_TRUE(debug.lines.empty()) << "blank documents are not failures";
}

TEST(LicenseDocumentReader, FailuresAreReportedNeverThrown) {
  TemporaryFolder folder("LicenseReaderTest_");
  const auto& root = folder.path();
  write(root / "bad.rtf", "not rtf at all");
  fs::create_directories(root / "folder.txt");
  // Larger than any license document: refused before a byte is read (sparse, so cheap).
  write(root / "huge.txt", "x");
  fs::resize_file(root / "huge.txt", LicenseDocumentReader::maximumBytes + 1);
  DebugLines debug;

  for (const auto& path : {root / "bad.rtf", root / "missing.md", root / "folder.txt",
                           root / "empty.rtfd", fs::path("/dev/zero.txt"), root / "huge.txt"})
    EXPECT_FALSE(LicenseDocumentReader::read(path)) << path;
  ASSERT_EQ(debug.lines.size(), 6u);
  EXPECT_EQ(debug.lines[0],
            "[Halyard] Legal document could not be read: " + (root / "bad.rtf").string());
}
