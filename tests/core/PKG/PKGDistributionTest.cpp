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
  distribution.hostArchitectures = "arm64";
  distribution.identifier = "com.example.demo";
  distribution.version = "2.1";
  distribution.componentFileName = "com.example.demo.component.pkg";
  return distribution;
}

const char* const head = R"(<?xml version="1.0" encoding="utf-8"?>
<installer-gui-script minSpecVersion="2">
)";

const char* const tail = R"(    <choices-outline>
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

TEST(PKGDistributionTest, EachOptionalBlockStandsWhereItBelongs) {
  struct Case {
    const char* name;
    bool license;
    std::optional<std::string> minimum;
    const char* architectures;
    std::string middle;
  };
  const std::string domains = "    <domains enable_localSystem=\"true\" "
                              "enable_currentUserHome=\"true\" enable_anywhere=\"true\"/>\n";
  const std::string volumeCheck = "    <volume-check>\n"
                                  "        <allowed-os-versions>\n"
                                  "            <os-version min=\"12.4\"/>\n"
                                  "        </allowed-os-versions>\n"
                                  "    </volume-check>\n";
  const std::string license = "    <license file=\"License.rtf\"/>\n";
  const auto options = [](const std::string& architectures) {
    return "    <options customize=\"never\" require-scripts=\"false\" hostArchitectures=\"" +
           architectures + "\"/>\n";
  };
  const Case cases[] = {
      {"plain", false, std::nullopt, "arm64", options("arm64") + domains},
      {"empty minimum", false, std::string(), "arm64", options("arm64") + domains},
      {"license", true, std::nullopt, "arm64,x86_64", options("arm64,x86_64") + domains + license},
      {"minimum", false, "12.4", "x86_64,arm64", options("x86_64,arm64") + domains + volumeCheck},
      {"both", true, "12.4", "x86_64", options("x86_64") + domains + license + volumeCheck},
  };
  for (const auto& c : cases) {
    auto distribution = demo();
    distribution.hasLicense = c.license;
    distribution.minimumSystemVersion = c.minimum;
    distribution.hostArchitectures = c.architectures;
    EXPECT_EQ(distribution.text(),
              std::string(head) + "    <title>Demo</title>\n" + c.middle + tail)
        << c.name;
  }
}

TEST(PKGDistributionTest, InsertedValuesAreEscapedAmpersandFirst) {
  auto distribution = demo();
  distribution.title = "Tom & Jerry <Beta>";
  distribution.version = "1.0 \"rc\" &amp;";
  const std::string text = distribution.text();
  EXPECT_NE(text.find("    <title>Tom &amp; Jerry &lt;Beta&gt;</title>\n"), std::string::npos);
  EXPECT_NE(text.find("version=\"1.0 &quot;rc&quot; &amp;amp;\" onConclusion"), std::string::npos);
}

// The first element named `name` below `node`, depth first.
xmlNode* element(xmlNode* node, const char* name) {
  for (; node != nullptr; node = node->next) {
    if (node->type == XML_ELEMENT_NODE &&
        xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0)
      return node;
    if (xmlNode* found = element(node->children, name)) return found;
  }
  return nullptr;
}

std::string content(xmlNode* node) {
  std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(node), xmlFree);
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

std::string attribute(xmlNode* node, const char* name) {
  std::unique_ptr<xmlChar, decltype(xmlFree)> text(
      xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

TEST(PKGDistributionTest, HostileTitlesAndVersionsStayWellFormed) {
  struct Case {
    std::string title;
    std::string readBack;
  };
  const Case cases[] = {
      {"Tom & Jerry <Beta>", "Tom & Jerry <Beta>"},
      {"\"Quoted\" & 'single' > ]]> <!-- x -->", "\"Quoted\" & 'single' > ]]> <!-- x -->"},
      {"Bell\a Tab\t Line\n Return\r Escape\x1B Delete\x7F End",
       "Bell Tab Line Return Escape Delete End"},
      {"Rocket \xF0\x9F\x9A\x80 Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC",
       "Rocket \xF0\x9F\x9A\x80 Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC"},
      {"Not UTF-8 \xFF\xC0 and \xEF\xBF\xBF nonchar",
       "Not UTF-8 \xEF\xBF\xBD\xEF\xBF\xBD and  nonchar"},
      {std::string("Nul\0Byte", 8), "NulByte"},
  };
  for (const auto& c : cases) {
    auto distribution = demo();
    distribution.title = c.title;
    distribution.version = "1.0\x01" + c.title;
    distribution.minimumSystemVersion = "11.0\x02";
    const std::string text = distribution.text();
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "Distribution.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    ASSERT_NE(document, nullptr) << text;
    xmlNode* root = xmlDocGetRootElement(document.get());
    EXPECT_EQ(content(element(root, "title")), c.readBack);
    EXPECT_EQ(attribute(element(root, "os-version"), "min"), "11.0");
    // The pkg-ref at the top level carries the version.
    xmlNode* reference = root->children;
    while (reference != nullptr && attribute(reference, "version").empty())
      reference = reference->next;
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(attribute(reference, "version"), "1.0" + c.readBack);
  }
}

TEST(PKGDistributionTest, HostArchitecturesKeepTheTwoKnownOnesInTheirOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"x86_64 arm64\n", "x86_64,arm64"}, {"arm64\n", "arm64"},
      {"i386 x86_64\n", "x86_64"},        {"arm64  arm64\tx86_64 x86_64\n", "arm64,x86_64"},
      {"arm64e\n", "arm64,x86_64"},       {"", "arm64,x86_64"},
  };
  for (const auto& [output, expected] : cases)
    EXPECT_EQ(PKGDistribution::hostArchitecturesFrom(output), expected) << output;
}

} // namespace
} // namespace halyard
