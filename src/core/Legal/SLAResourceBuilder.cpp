#include "core/Legal/SLAResourceBuilder.hpp"

#include <map>
#include <set>

#include "core/Legal/LicenseFormatter.hpp"
#include "core/Legal/TextEncoding.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

void appendUInt16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value & 0xFF);
}

plist_t resourceEntry(std::uint16_t id, const std::string& name, const std::string& data) {
  auto entry = PropertyList::dictionary();
  entry.setInteger("Attributes", 0);
  entry.set("Data", plist_new_data(data.data(), data.size()));
  entry.setInteger("ID", id);
  entry.setString("Name", name);
  return entry.release();
}

} // namespace

std::vector<LicenseLocalization>
SLAResourceBuilder::keptLocalizations(const LicenseAgreement& agreement) {
  std::vector<LicenseLocalization> kept;
  for (const auto& localization : agreement.localizations)
    if (localization.hasText()) kept.push_back(localization);
  return kept;
}

std::string SLAResourceBuilder::displayName(const LicenseLanguage& language) {
  if (language.code == "en-US" || language.code == "en-GB") return "English";
  return language.name;
}

std::vector<std::uint16_t> SLAResourceBuilder::regionCodes(std::string_view languageCode) {
  static const std::map<std::string_view, std::vector<std::uint16_t>> codes = {
      {"en-US", {0}},     {"en-GB", {2}},
      {"fr-FR", {1, 91}}, {"de-DE", {3, 70}},
      {"it-IT", {4}},     {"nl", {5}},
      {"sv", {7}},        {"es-ES", {8}},
      {"da", {9}},        {"pt-BR", {71, 10, 30}},
      {"ru", {49}},       {"uk", {62}},
      {"id", {101}},      {"ja", {14}},
      {"ar", {16}},       {"fi", {17}},
      {"el", {20, 64}},   {"tr", {24}},
      {"zh-Hant", {19}},  {"hi", {33}},
      {"th", {37}},       {"ko", {51}},
      {"pl", {89}},       {"zh-Hans", {25}},
      {"vi", {97}}};
  const auto found = codes.find(languageCode);
  return found == codes.end() ? std::vector<std::uint16_t>{} : found->second;
}

std::string SLAResourceBuilder::languageTable(const std::vector<LicenseLocalization>& kept) {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> entries; // region code, index
  std::set<std::uint16_t> claimed;
  for (std::size_t index = 0; index < kept.size(); ++index)
    for (const auto code : regionCodes(kept[index].language.code))
      if (claimed.insert(code).second)
        entries.emplace_back(code, static_cast<std::uint16_t>(index));
  std::string data;
  appendUInt16(data, 0); // the default language: the first localization
  appendUInt16(data, static_cast<std::uint16_t>(entries.size()));
  for (const auto& [code, index] : entries) {
    appendUInt16(data, code);
    appendUInt16(data, index);
    appendUInt16(data, 0); // not a two-byte script
  }
  return data;
}

std::string SLAResourceBuilder::pascalString(std::string_view text) {
  auto bytes = TextEncoding::encode(text, TextEncoding::macRoman).value_or(std::string(text));
  if (bytes.size() > 255) bytes.resize(255);
  return static_cast<char>(bytes.size()) + bytes;
}

std::string SLAResourceBuilder::buttonStrings(const LicenseLanguage& language) {
  std::vector<std::string> strings{displayName(language)};
  if (text::lowercasedASCII(language.code).rfind("pt", 0) == 0) {
    strings.insert(strings.end(),
                   {"Aceitar", "Recusar", "Imprimir", "Guardar...",
                    "Se concorda com os termos desta licenca, clique em \"Aceitar\" para aceder "
                    "ao software. Se nao concorda, clique em \"Recusar\"."});
  } else {
    strings.insert(strings.end(),
                   {"Agree", "Disagree", "Print", "Save...",
                    "If you agree with the terms of this license, click \"Agree\" to access the "
                    "software. If you do not agree, click \"Disagree\"."});
  }
  std::string data;
  appendUInt16(data, static_cast<std::uint16_t>(strings.size()));
  for (const auto& string : strings)
    data += pascalString(string);
  return data;
}

const std::string& SLAResourceBuilder::styleRecord() {
  static const std::string record("\x00\x01\x00\x00\x00\x00\x00\x00\x00\x0c\x00"
                                  "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00",
                                  22);
  return record;
}

std::string SLAResourceBuilder::plistData(const LicenseAgreement& agreement) {
  const auto kept = keptLocalizations(agreement);
  auto root = PropertyList::dictionary();
  if (!kept.empty()) {
    auto languages = PropertyList::array();
    languages.append(resourceEntry(firstID, "", languageTable(kept)));
    auto texts = PropertyList::array();
    auto rtfs = PropertyList::array();
    auto strings = PropertyList::array();
    auto styles = PropertyList::array();
    for (std::size_t index = 0; index < kept.size(); ++index) {
      const auto id = static_cast<std::uint16_t>(firstID + index);
      const auto name = displayName(kept[index].language);
      const auto body = kept[index].body();
      texts.append(resourceEntry(id, name, LicenseFormatter::plainText(body)));
      rtfs.append(resourceEntry(id, name, LicenseFormatter::rtfData(body)));
      strings.append(resourceEntry(id, name, buttonStrings(kept[index].language)));
      styles.append(resourceEntry(id, name, styleRecord()));
    }
    root.set("LPic", languages.release());
    root.set("TEXT", texts.release());
    root.set("RTF ", rtfs.release());
    root.set("STR#", strings.release());
    root.set("styl", styles.release());
  }
  auto xml = root.xml();
  if (xml.empty()) throw BuildError(BuildError::plistEncodingFailed);
  return xml;
}

} // namespace halyard
