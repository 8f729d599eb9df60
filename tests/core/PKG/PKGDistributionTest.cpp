// Distribution.xml against texts written out by hand, and read back by libxml2 for titles that
// would break a naive writer.
#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

#include "core/PKG/PKGDistribution.hpp"

namespace halyard {
namespace {

PKGDistribution demo() {
  PKGDistribution distribution;
  distribution.title = "Demo";
  distribution.identifier = "com.example.demo";
  distribution.version = "2.1";
  distribution.componentFileName = "com.example.demo.component.pkg";
  return distribution;
}

TEST(PKGDistributionTest, EachOptionalBlockStandsWhereItBelongs) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                           "<installer-gui-script minSpecVersion=\"2\">\n"
                           "    <title>Demo</title>\n";
  const auto options = [](const std::string& architectures) {
    return "    <options customize=\"never\" require-scripts=\"false\" hostArchitectures=\"" +
           architectures +
           "\"/>\n"
           "    <domains enable_localSystem=\"true\" enable_currentUserHome=\"true\" "
           "enable_anywhere=\"true\"/>\n";
  };
  const std::string license = "    <license file=\"License.rtf\"/>\n";
  const std::string volumeCheck = "    <volume-check>\n"
                                  "        <allowed-os-versions>\n"
                                  "            <os-version min=\"12.4\"/>\n"
                                  "        </allowed-os-versions>\n"
                                  "    </volume-check>\n";
  const std::string tail = R"(    <choices-outline>
        <line choice="default">
            <line choice="com.example.demo"/>
        </line>
    </choices-outline>
    <choice id="default"/>
    <choice id="com.example.demo" visible="false">
        <pkg-ref id="com.example.demo"/>
    </choice>
    <pkg-ref id="com.example.demo" version="2.1" onConclusion="none">com.example.demo.component.pkg</pkg-ref>
</installer-gui-script>
)";
  struct Case {
    bool license;
    std::optional<std::string> minimum;
    const char* architectures;
    std::string middle;
  };
  for (const auto& c : {Case{false, std::nullopt, "arm64", options("arm64")},
                        Case{false, "", "arm64", options("arm64")},
                        Case{true, std::nullopt, "arm64,x86_64", options("arm64,x86_64") + license},
                        Case{false, "12.4", "x86_64,arm64", options("x86_64,arm64") + volumeCheck},
                        Case{true, "12.4", "x86_64", options("x86_64") + license + volumeCheck}}) {
    auto distribution = demo();
    distribution.hasLicense = c.license;
    distribution.minimumSystemVersion = c.minimum;
    distribution.hostArchitectures = c.architectures;
    EXPECT_EQ(distribution.text(), head + c.middle + tail) << c.middle;
  }
}

std::string text(xmlNode* node, const char* attribute = nullptr) {
  std::unique_ptr<xmlChar, decltype(xmlFree)> value(
      attribute ? xmlGetProp(node, reinterpret_cast<const xmlChar*>(attribute))
                : xmlNodeGetContent(node),
      xmlFree);
  return value ? reinterpret_cast<const char*>(value.get()) : "";
}

TEST(PKGDistributionTest, HostileTitlesAndVersionsStayWellFormed) {
  auto tom = demo();
  tom.title = "Tom & Jerry <Beta>";
  tom.version = "\"rc\" &amp;";
  EXPECT_NE(tom.text().find("    <title>Tom &amp; Jerry &lt;Beta&gt;</title>\n"),
            std::string::npos);
  EXPECT_NE(tom.text().find("version=\"&quot;rc&quot; &amp;amp;\""), std::string::npos);

  const std::pair<std::string, std::string> cases[] = {
      {"Tom & \"Jerry\" > ]]> <!-- x -->", "Tom & \"Jerry\" > ]]> <!-- x -->"},
      {"Bell\a Tab\t Line\n Return\r Escape\x1B Delete\x7F End",
       "Bell Tab Line Return Escape Delete End"},
      {"Rocket \xF0\x9F\x9A\x80 Gr\xC3\xBC\xC3\x9F"
       "e \xE6\x97\xA5",
       "Rocket \xF0\x9F\x9A\x80 Gr\xC3\xBC\xC3\x9F"
       "e \xE6\x97\xA5"},
      {"Not UTF-8 \xFF\xC0 and \xEF\xBF\xBF nonchar",
       "Not UTF-8 \xEF\xBF\xBD\xEF\xBF\xBD and  nonchar"},
      {std::string("Nul\0Byte", 8), "NulByte"},
  };
  for (const auto& [title, readBack] : cases) {
    auto distribution = demo();
    distribution.title = title;
    distribution.version = "1.0\x01" + title;
    distribution.minimumSystemVersion = "11.0\x02";
    const std::string xml = distribution.text();
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "Distribution.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    ASSERT_NE(document, nullptr) << xml;
    xmlNode* root = xmlDocGetRootElement(document.get());
    EXPECT_EQ(text(xmlFirstElementChild(root)), readBack);
    EXPECT_EQ(text(xmlLastElementChild(root), "version"), "1.0" + readBack);
    EXPECT_NE(xml.find("<os-version min=\"11.0\"/>"), std::string::npos);
  }
}

TEST(PKGDistributionTest, HostArchitecturesKeepTheTwoKnownOnesInTheirOrder) {
  using Names = std::vector<std::string>;
  const std::pair<Names, const char*> cases[] = {
      {{"x86_64", "arm64"}, "x86_64,arm64"},
      {{"i386", "x86_64"}, "x86_64"},
      {{"arm64", "arm64", "x86_64", "x86_64"}, "arm64,x86_64"},
      {{"arm64e"}, "arm64,x86_64"},
      {{}, "arm64,x86_64"}};
  for (const auto& [output, expected] : cases)
    EXPECT_EQ(PKGDistribution::hostArchitecturesFrom(output), expected) << expected;
}

} // namespace
} // namespace halyard
