#include <gtest/gtest.h>

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>

#include "RTFTestReader.hpp"
#include "core/Legal/SLAInjector.hpp"
#include "core/Legal/SLAResourceBuilder.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

LicenseLanguage language(std::string_view code) {
  for (const auto& candidate : LicenseLanguage::all())
    if (candidate.code == code) return candidate;
  throw std::runtime_error("no language");
}

LicenseLocalization localization(std::string_view code, const std::string& text) {
  StyledText styled;
  styled.append(text);
  return {language(code), {{"End-user License Agreement", styled}}};
}

LicenseAgreement agreement(std::initializer_list<std::pair<const char*, const char*>> texts) {
  LicenseAgreement result;
  for (const auto& [code, text] : texts)
    result.localizations.push_back(localization(code, text));
  return result;
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int value : values)
    out += static_cast<char>(value);
  return out;
}

// One resource entry as read back from the property list.
struct Resource {
  std::uint64_t attributes = 99;
  std::uint64_t id = 0;
  std::string name;
  std::string data;
};

// The resources of one type, read with libplist's own API (not the product's helper).
std::vector<Resource> resources(const std::string& xml, const char* type) {
  plist_t root = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
  std::vector<Resource> out;
  if (root == nullptr) return out;
  if (plist_t array = plist_dict_get_item(root, type)) {
    for (uint32_t i = 0; i < plist_array_get_size(array); ++i) {
      plist_t entry = plist_array_get_item(array, i);
      Resource resource;
      plist_get_uint_val(plist_dict_get_item(entry, "Attributes"), &resource.attributes);
      plist_get_uint_val(plist_dict_get_item(entry, "ID"), &resource.id);
      char* name = nullptr;
      plist_get_string_val(plist_dict_get_item(entry, "Name"), &name);
      resource.name = name ? name : "<none>";
      std::free(name);
      char* data = nullptr;
      uint64_t length = 0;
      plist_get_data_val(plist_dict_get_item(entry, "Data"), &data, &length);
      resource.data.assign(data, length);
      std::free(data);
      out.push_back(resource);
    }
  }
  plist_free(root);
  return out;
}

// STR#: a big-endian count, then Pascal strings.
std::vector<std::string> readStringList(const std::string& data) {
  std::vector<std::string> strings;
  const auto count =
      (static_cast<unsigned char>(data[0]) << 8) | static_cast<unsigned char>(data[1]);
  std::size_t offset = 2;
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<unsigned char>(data.at(offset));
    strings.push_back(data.substr(offset + 1, length));
    offset += 1 + length;
  }
  EXPECT_EQ(offset, data.size());
  return strings;
}

const std::string englishMessage =
    "If you agree with the terms of this license, click \"Agree\" to access the software. If you "
    "do not agree, click \"Disagree\".";

} // namespace

TEST(SLAResourceBuilder, EnglishAndGermanResources) {
  const auto xml =
      SLAResourceBuilder::plistData(agreement({{"en-US", "Use it."}, {"de-DE", "Nutze es."}}));

  const auto languageTable = resources(xml, "LPic");
  ASSERT_EQ(languageTable.size(), 1u);
  EXPECT_EQ(languageTable[0].id, 5000u);
  EXPECT_EQ(languageTable[0].name, "");
  EXPECT_EQ(languageTable[0].attributes, 0u);
  EXPECT_EQ(languageTable[0].data, bytes({0x00, 0x00, 0x00, 0x03,                // default, count
                                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00,    // 0 -> 0
                                          0x00, 0x03, 0x00, 0x01, 0x00, 0x00,    // 3 -> 1
                                          0x00, 0x46, 0x00, 0x01, 0x00, 0x00})); // 70 -> 1

  const std::string texts[] = {"End-user License Agreement\n\nUse it.",
                               "End-user License Agreement\n\nNutze es."};
  const char* names[] = {"English", "German"};
  for (const char* type : {"TEXT", "RTF ", "STR#", "styl"}) {
    const auto entries = resources(xml, type);
    ASSERT_EQ(entries.size(), 2u) << type;
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(entries[i].id, 5000 + i) << type;
      EXPECT_EQ(entries[i].name, names[i]) << type;
      EXPECT_EQ(entries[i].attributes, 0u) << type;
    }
  }
  EXPECT_EQ(resources(xml, "TEXT")[1].data, texts[1]);
  EXPECT_EQ(rtftest::plainTestRTF(resources(xml, "RTF ")[1].data), texts[1]);
  EXPECT_EQ(resources(xml, "styl")[0].data,
            bytes({0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x00,
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  const auto strings = resources(xml, "STR#")[1].data;
  EXPECT_EQ(strings.substr(0, 21), bytes({0x00, 0x06, 0x06}) + "German" + bytes({0x05}) + "Agree" +
                                       bytes({0x08}) + "Disag");
  EXPECT_EQ(readStringList(strings),
            (std::vector<std::string>{"German", "Agree", "Disagree", "Print", "Save...",
                                      englishMessage}));
  EXPECT_EQ(strings[2 + 7 + 6 + 9 + 6 + 8], '\x79'); // the message's length byte: 121
}

TEST(SLAResourceBuilder, LanguageTableAndPositionsFollowTheKeptLocalizations) {
  const struct {
    LicenseAgreement agreement;
    std::string table;
    std::vector<std::string> names;
  } cases[] = {
      {agreement({{"en-US", "a"}, {"en-GB", "b"}}),
       bytes({0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 0}),
       {"English", "English"}},
      // A localization without text is dropped before positions are given out.
      {[] {
         auto withEmpty = agreement({{"en-US", "a"}, {"pt-BR", "c"}});
         withEmpty.localizations.insert(withEmpty.localizations.begin() + 1,
                                        LicenseLocalization{language("fr-FR"), {}});
         return withEmpty;
       }(),
       bytes(
           {0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 71, 0, 1, 0, 0, 0, 10, 0, 1, 0, 0, 0, 30, 0, 1, 0, 0}),
       {"English", "Portuguese"}},
      // A region code already claimed stays with the first localization that claimed it.
      {agreement({{"en-US", "a"}, {"id", "b"}, {"en-US", "c"}}),
       bytes({0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 101, 0, 1, 0, 0}),
       {"English", "Indonesian", "English"}},
  };
  for (const auto& c : cases) {
    const auto xml = SLAResourceBuilder::plistData(c.agreement);
    EXPECT_EQ(resources(xml, "LPic").at(0).data, c.table);
    const auto strings = resources(xml, "STR#");
    ASSERT_EQ(strings.size(), c.names.size());
    for (std::size_t i = 0; i < strings.size(); ++i) {
      EXPECT_EQ(strings[i].id, 5000 + i);
      EXPECT_EQ(strings[i].name, c.names[i]);
    }
  }
  EXPECT_EQ(readStringList(SLAResourceBuilder::buttonStrings(language("pt-BR"))),
            (std::vector<std::string>{
                "Portuguese", "Aceitar", "Recusar", "Imprimir", "Guardar...",
                "Se concorda com os termos desta licenca, clique em \"Aceitar\" para aceder ao "
                "software. Se nao concorda, clique em \"Recusar\"."}));
  EXPECT_EQ(readStringList(SLAResourceBuilder::buttonStrings(language("fr-FR")))[1], "Agree");
  const LicenseAgreement blank{{LicenseLocalization{language("en-US"), {}}}};
  const auto empty = SLAResourceBuilder::plistData(blank);
  EXPECT_NE(empty.find("<dict/>"), std::string::npos) << empty;
}

TEST(SLAResourceBuilder, PascalStringsInMacRomanElseUTF8CutTo255Bytes) {
  EXPECT_EQ(SLAResourceBuilder::pascalString("Fran\u00e7ais \u201Cx\u201D"), bytes({12}) +
                                                                                 "Fran\x8D"
                                                                                 "ais \xD2x\xD3");
  // Japanese is not in Mac OS Roman: the UTF-8 bytes.
  EXPECT_EQ(SLAResourceBuilder::pascalString("\u65e5\u672c"),
            bytes({6, 0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC}));
  const auto cut = SLAResourceBuilder::pascalString(std::string(300, 'x'));
  EXPECT_EQ(cut, bytes({255}) + std::string(255, 'x'));
}

namespace {

// A temporary directory of its own for the test, so leftovers can be counted.
class SLAInjection : public ::testing::Test {
protected:
  TemporaryFolder sandbox{"SLAInjectionTest_"};
  std::string savedTemporary = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";

  void SetUp() override {
    fs::create_directories(sandbox.path() / "tmp");
    ::setenv("TMPDIR", (sandbox.path() / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (savedTemporary.empty())
      ::unsetenv("TMPDIR");
    else
      ::setenv("TMPDIR", savedTemporary.c_str(), 1);
    ::unsetenv("BOSUN_TOOL_ROOT");
  }
  std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
  }
};

} // namespace

TEST_F(SLAInjection, MissingImageFailsBeforeAnythingIsMade) {
  const auto missing = sandbox.path() / "missing.dmg";
  try {
    SLAInjector::inject(agreement({{"en-US", "a"}}), missing);
    FAIL() << "no error";
  } catch (const SLAInjector::InjectionError& error) {
    EXPECT_EQ(std::string(error.what()), "DMG not found at path: " + missing.string());
  }
  EXPECT_EQ(entries(sandbox.path() / "tmp"), 0u);
}

// Through the stand-in disk-image tool: the license read back with `hdiutil udifderez -xml` is
// what was built; a failing tool leaves the image as it was and nothing behind.
TEST_F(SLAInjection, StoresTheResourcesInTheImage) {
  const auto root = sandbox.path() / "root";
  ASSERT_TRUE(ToolProcess::run(MACSIM_BINARY, {"init", root.string()}, 60).succeeded());
  ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
  const auto images = sandbox.path() / "images";
  fs::create_directories(images);
  const auto dmg = images / "Demo.dmg";
  CoreCommand::run("/usr/bin/hdiutil",
                   {"create", "-size", "1m", "-fs", "HFS+", "-volname", "Demo", dmg.string()}, 60);

  const auto license = agreement({{"en-US", "Use it."}, {"de-DE", "Nutze es."}});
  SLAInjector::inject(license, dmg);
  const auto stored =
      CoreCommand::captureData("/usr/bin/hdiutil", {"udifderez", "-xml", dmg.string()}, 60);
  const auto built = SLAResourceBuilder::plistData(license);
  for (const char* type : {"LPic", "TEXT", "RTF ", "STR#", "styl"}) {
    const auto got = resources(stored, type);
    const auto expected = resources(built, type);
    ASSERT_EQ(got.size(), expected.size()) << type;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].data, expected[i].data) << type;
      EXPECT_EQ(got[i].id, expected[i].id) << type;
    }
  }
  EXPECT_EQ(entries(images), 1u) << "no working copy is left beside the image";
  EXPECT_EQ(entries(sandbox.path() / "tmp"), 0u);

  const auto notImage = images / "Broken.dmg";
  std::ofstream(notImage) << "not an image";
  EXPECT_THROW(SLAInjector::inject(license, notImage), CoreCommandError);
  std::ifstream in(notImage);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not an image");
  EXPECT_EQ(entries(images), 2u);
  EXPECT_EQ(entries(sandbox.path() / "tmp"), 0u);
}
