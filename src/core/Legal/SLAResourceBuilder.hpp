#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Builds the classic resources that make a disk image show its license agreement before it is
// mounted, as the XML property list the disk-image tool stores in the image: "LPic" (the language
// table), and per language "TEXT" (plain text), "RTF " (styled text), "STR#" (the button strings)
// and "styl" (a fixed style record). Only localizations with text are kept; the one at position i
// has resource ID 5000 + i.
struct SLAResourceBuilder {
  class BuildError : public Error {
  public:
    static constexpr const char* domainName = "Halyard.slaResource";
    enum Code { plistEncodingFailed = 1 };
    explicit BuildError(Code code)
        : Error(domainName, code, "Failed to encode SLA resource plist.") {}
  };

  static constexpr std::uint16_t firstID = 5000;

  // The XML property list; an empty dictionary when no localization has text. Throws BuildError.
  static std::string plistData(const LicenseAgreement& agreement);

  // The localizations that have text, in order.
  static std::vector<LicenseLocalization> keptLocalizations(const LicenseAgreement& agreement);

  // "English" for en-US and en-GB, otherwise the language's name.
  static std::string displayName(const LicenseLanguage& language);
  // The classic region codes a language serves, in order (none for languages without any).
  static std::vector<std::uint16_t> regionCodes(std::string_view languageCode);

  // The resource data, big-endian.
  static std::string languageTable(const std::vector<LicenseLocalization>& kept);
  static std::string buttonStrings(const LicenseLanguage& language);
  static const std::string& styleRecord();
  // One Pascal string: the text in Mac OS Roman, or in UTF-8 when Mac OS Roman cannot hold it
  // exactly; the bytes cut to 255; a length byte first.
  static std::string pascalString(std::string_view text);
};

} // namespace halyard
