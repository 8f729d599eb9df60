#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Legal/HTMLDocumentReader.hpp"
#include "core/Legal/WebArchiveReader.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"

using halyard::HTMLDocumentReader;
using halyard::StyledText;
using halyard::TextAttributes;
using halyard::TextColor;
using halyard::TextRun;
using halyard::WebArchiveReader;

namespace {

class HTMLDocumentReaderTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"HTMLDocumentReaderTest_"};
  std::filesystem::path write(const std::string& name, const std::string& bytes) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string webArchive(const std::string& page, const char* encoding) {
    auto archive = halyard::PropertyList::dictionary();
    auto main = halyard::PropertyList::dictionary();
    main.set("WebResourceData", plist_new_data(page.data(), page.size()));
    main.setString("WebResourceMIMEType", "text/html");
    main.setString("WebResourceURL", "file:///eula.html");
    if (encoding != nullptr) main.setString("WebResourceTextEncodingName", encoding);
    archive.set("WebMainResource", main.release());
    return archive.binary();
  }
};

// Style sheets with simple selectors apply, inline styles win; deleted text is left out.
TEST_F(HTMLDocumentReaderTest, ReadsTextAndStyles) {
  const std::string page =
      "<!DOCTYPE html><html><head><title>Title</title><style>p { color: red } "
      "@media print { p { color: lime } } /* } */ h1.big, .x { font-style: italic } "
      "p:hover, p b { font-weight: normal }</style></head>"
      "<body><h1 class=\"big\">EULA</h1>\n<p>Plain   <b>bold</b>\n<em style=\"color: "
      "#c00000\">red</em> "
      "<font color=\"blue\">blue</font></p><script>var x = '<p>no</p>';</script>"
      "<ul><li>Caf&eacute; &#8216;q&amp;a&rsquo;</li><li>two<br>lines</li></ul>"
      "<ol start=\"3\"><li><p>three</p><li>four<del> gone</del></ol>"
      "<pre>  kept\n  as is</pre><table><tr><td>a</td><td>b</td></tr></table></body></html>";
  for (const auto& name : {"eula.html", "eula.xhtml"}) {
    SCOPED_TRACE(name);
    const auto text = HTMLDocumentReader::read(write(name, page));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "EULA\nPlain bold red blue\n\u2022 Caf\u00e9 \u2018q&a\u2019\n"
                              "\u2022 two\nlines\n3. three\n4. four\n  kept\n  as is\na\tb");
    TextAttributes heading;
    heading.bold = true;
    heading.italic = true;
    heading.fontSize = 24;
    TextAttributes bold;
    bold.bold = true;
    bold.color = TextColor{255, 0, 0};
    TextAttributes red;
    red.italic = true;
    red.color = TextColor{0xC0, 0, 0};
    TextAttributes blue;
    blue.color = TextColor{0, 0, 255};
    ASSERT_GE(text->runs.size(), 7u);
    EXPECT_EQ(text->runs[0].attributes, heading);
    EXPECT_EQ(text->runs[2], (TextRun{"bold", bold}));
    EXPECT_EQ(text->runs[4], (TextRun{"red", red}));
    EXPECT_EQ(text->runs[6], (TextRun{"blue\n", blue}));
  }
}

TEST_F(HTMLDocumentReaderTest, StrayBytesInDeclaredUTF8BecomeReplacementCharacters) {
  // The parser passes some malformed sequences through; the text handed on is always UTF-8.
  const auto text = HTMLDocumentReader::readHTML("<p>a\xC4\x8F\x8F\xEF\xFF"
                                                 "b</p>",
                                                 "UTF-8");
  ASSERT_TRUE(text);
  EXPECT_TRUE(halyard::text::isValidUTF8(text->string()));
  EXPECT_EQ(text->string().substr(0, 3), "a\u010F");
}

TEST_F(HTMLDocumentReaderTest, WebArchiveReadsItsMainResourceInItsDeclaredEncoding) {
  // Windows-1252: e-acute and the right single quotation mark; not UTF-8.
  const std::string page = "<html><body><p>Caf\xE9 \x92ok\x92</p></body></html>";
  const auto declared =
      WebArchiveReader::read(write("eula.webarchive", webArchive(page, "windows-1252")));
  ASSERT_TRUE(declared);
  EXPECT_EQ(declared->string(), "Caf\u00e9 \u2019ok\u2019");

  const auto utf8 = WebArchiveReader::read(
      write("eula.webarchive", webArchive("<p>Caf\u00e9</p><script>x</script>", nullptr)));
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8->string(), "Caf\u00e9");

  auto noPage = halyard::PropertyList::dictionary();
  noPage.setString("WebMainResource", "none");
  EXPECT_FALSE(WebArchiveReader::read(write("eula.webarchive", noPage.binary())));
  EXPECT_FALSE(WebArchiveReader::read(write("eula.webarchive", page)));
}

TEST_F(HTMLDocumentReaderTest, RefusesFilesBeyondTheLimitWithoutReadingThem) {
  // A sparse file claiming 1 GB: refused from its size, never read into memory.
  const auto path = write("eula.html", "<p>x</p>");
  ASSERT_EQ(::truncate(path.c_str(), off_t{1} << 30), 0);
  EXPECT_FALSE(HTMLDocumentReader::read(path));
  EXPECT_FALSE(WebArchiveReader::read(path));
  EXPECT_FALSE(HTMLDocumentReader::read(folder.path()));
}

} // namespace
