#include "core/Legal/WebArchiveReader.hpp"

#include "core/Legal/DocumentBytes.hpp"
#include "core/Legal/DocumentReaderFunctions.hpp"
#include "core/Support/PropertyList.hpp"

namespace halyard {

std::optional<StyledText> WebArchiveReader::read(const std::filesystem::path& file) {
  const auto bytes = DocumentBytes::readFile(file);
  if (!bytes) return std::nullopt;
  const PropertyList archive = PropertyList::parse(*bytes);
  const plist_t mainResource = archive.dictionaryItem("WebMainResource");
  const auto data = PropertyList::data(mainResource, "WebResourceData");
  if (!data) {
    DocumentBytes::refuse(file, "no main resource in the web archive");
    return std::nullopt;
  }
  // The HTML reader is in the module of document readers.
  auto result = DocumentReaderFunctions::current().readHTMLBytes(
      *data, PropertyList::string(mainResource, "WebResourceTextEncodingName"));
  if (!result) DocumentBytes::refuse(file, "the web archive's page could not be parsed");
  return result;
}

} // namespace halyard
