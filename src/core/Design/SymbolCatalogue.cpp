#include "core/Design/SymbolCatalogue.hpp"

#include <system_error>

#include "core/Design/SVGPicture.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/ResourceDirectory.hpp"

namespace halyard {

namespace {
bool isCatalogueName(std::string_view name) {
  if (name.empty() || name.front() == '.' || name.back() == '.') return false;
  char previous = 0;
  for (const char c : name) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!word && c != '.') return false;
    if (c == '.' && previous == '.') return false;
    previous = c;
  }
  return true;
}
} // namespace

std::optional<std::filesystem::path> SymbolCatalogue::path(std::string_view name) {
  if (!isCatalogueName(name)) return std::nullopt;
  return ResourceDirectory::find(std::filesystem::path("symbols") / (std::string(name) + ".svg"));
}

std::optional<DesignImage> SymbolCatalogue::image(std::string_view name, double pixelsPerPoint) {
  const auto file = path(name);
  if (!file) return std::nullopt;
  std::optional<SVGPicture> picture;
  try {
    picture = SVGPicture::parse(RegularFileReader::read(*file));
  } catch (const Error&) {
    return std::nullopt;
  }
  if (!picture) return std::nullopt;
  return picture->rasterized(pointSize * picture->aspectRatio(), pointSize, pixelsPerPoint);
}

} // namespace halyard
