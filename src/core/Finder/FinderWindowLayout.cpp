#include "core/Finder/FinderWindowLayout.hpp"

#include <cmath>
#include <cstdint>
#include <regex>
#include <sstream>
#include <string_view>

#include "core/Finder/DSStoreReader.hpp"
#include "core/Support/PropertyList.hpp"

namespace halyard {

namespace {

using Failure = DSStoreReader::Failure;

const Bytes* blobOf(const DSStoreRecord& record) {
  const auto* blob = std::get_if<DSStoreRecord::Blob>(&record.value);
  return blob != nullptr ? &blob->data : nullptr;
}

std::uint32_t bigEndian32(const Bytes& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

std::uint16_t bigEndian16(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

PropertyList propertyList(const Bytes& bytes, const char* what) {
  auto list = PropertyList::parse(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!list || !PropertyList::isDictionary(list.node()))
    throw Failure(std::string("its ") + what + " are not a property list");
  return list;
}

std::optional<double> number(const PropertyList& list, const char* key) {
  if (const auto real = PropertyList::real(list.node(), key)) return *real;
  if (const auto integer = list.integer(key)) return static_cast<double>(*integer);
  return std::nullopt;
}

double checkedSide(double value) {
  if (!(value >= 1 && value <= FinderWindowLayout::maximumWindowSide))
    throw Failure("its window size is out of range");
  return value;
}

// "{{x, y}, {width, height}}", as the window settings hold the bounds.
FinderWindowLayout::Size windowBounds(const std::string& text) {
  static const std::regex pattern(
      R"(\s*\{\s*\{\s*(-?[0-9.eE+-]+)\s*,\s*(-?[0-9.eE+-]+)\s*\}\s*,\s*\{\s*(-?[0-9.eE+-]+)\s*,\s*(-?[0-9.eE+-]+)\s*\}\s*\}\s*)");
  std::smatch match;
  if (text.size() > 200 || !std::regex_match(text, match, pattern))
    throw Failure("its window bounds cannot be read");
  const auto value = [&](int index) {
    std::istringstream in(match[index].str());
    double parsed = NAN;
    in >> parsed;
    return parsed;
  };
  return {checkedSide(value(3)), checkedSide(value(4))};
}

void readWindowSettings(const Bytes& bytes, FinderWindowLayout& layout) {
  const auto list = propertyList(bytes, "window settings");
  if (const auto bounds = list.string("WindowBounds")) layout.windowSize = windowBounds(*bounds);
}

// The older window record: top, left, bottom, right as 16-bit numbers, then the view.
void readOldWindowRecord(const Bytes& bytes, FinderWindowLayout& layout) {
  if (layout.windowSize || bytes.size() < 8) return;
  const auto top = static_cast<std::int16_t>(bigEndian16(bytes, 0));
  const auto left = static_cast<std::int16_t>(bigEndian16(bytes, 2));
  const auto bottom = static_cast<std::int16_t>(bigEndian16(bytes, 4));
  const auto right = static_cast<std::int16_t>(bigEndian16(bytes, 6));
  layout.windowSize = FinderWindowLayout::Size{checkedSide(double(right) - left),
                                               checkedSide(double(bottom) - top)};
}

void readIconViewSettings(const Bytes& bytes, FinderWindowLayout& layout) {
  const auto list = propertyList(bytes, "icon view settings");
  if (const auto size = number(list, "iconSize")) {
    if (!(*size >= 16 && *size <= 512)) throw Failure("its icon size is out of range");
    layout.iconSize = *size;
  }
  if (const auto size = number(list, "textSize")) {
    if (!(*size >= 6 && *size <= 64)) throw Failure("its text size is out of range");
    layout.textSize = *size;
  }
  const auto type = list.integer("backgroundType").value_or(0);
  if (type == 2) {
    layout.background = FinderWindowLayout::Background::picture;
    if (const auto alias = PropertyList::data(list.node(), "backgroundImageAlias"))
      layout.backgroundAlias = Bytes(alias->begin(), alias->end());
  } else if (type == 1) {
    std::vector<double> colour;
    for (const char* key : {"backgroundColorRed", "backgroundColorGreen", "backgroundColorBlue"}) {
      const double component = number(list, key).value_or(1.0);
      if (!(component >= 0 && component <= 1))
        throw Failure("its background colour is out of range");
      colour.push_back(component);
    }
    layout.background = FinderWindowLayout::Background::colour;
    layout.backgroundColour = colour;
  }
}

// An icon location: x and y as signed 32-bit numbers, then fields the Finder keeps for itself.
void readIconLocation(const std::string& name, const Bytes& bytes, FinderWindowLayout& layout) {
  if (bytes.size() < 8) throw Failure("an icon location is cut short");
  const auto x = static_cast<std::int32_t>(bigEndian32(bytes, 0));
  const auto y = static_cast<std::int32_t>(bigEndian32(bytes, 4));
  layout.iconPositions[name] = {static_cast<double>(x), static_cast<double>(y)};
}

// A relative path is kept only when every component stays inside the volume.
std::optional<std::string> insideVolume(std::string path) {
  while (!path.empty() && path.front() == '/')
    path.erase(0, 1);
  if (path.empty()) return std::nullopt;
  std::istringstream parts(path);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part == "..") return std::nullopt;
  }
  return path;
}

} // namespace

FinderWindowLayout FinderWindowLayout::fromRecords(const std::vector<DSStoreRecord>& records) {
  FinderWindowLayout layout;
  for (const DSStoreRecord& record : records) {
    const Bytes* blob = blobOf(record);
    if (blob == nullptr) continue;
    if (record.filename == ".") {
      if (record.code == "bwsp") readWindowSettings(*blob, layout);
      if (record.code == "icvp") readIconViewSettings(*blob, layout);
    } else if (record.code == "Iloc") {
      readIconLocation(record.filename, *blob, layout);
    }
  }
  // The older window record counts only where the newer one says nothing.
  for (const DSStoreRecord& record : records) {
    if (record.filename == "." && record.code == "fwi0") {
      if (const Bytes* blob = blobOf(record)) readOldWindowRecord(*blob, layout);
    }
  }
  return layout;
}

std::optional<std::string> FinderWindowLayout::aliasRelativePath(const Bytes& alias) {
  // A version 2 record: 150 fixed bytes, then tagged fields (tag, length, data, even padding)
  // up to the end marker 0xFFFF.
  constexpr std::size_t fixedPart = 150;
  if (alias.size() < fixedPart || bigEndian16(alias, 6) != 2) return std::nullopt;
  std::optional<std::string> posixPath;
  std::optional<std::string> colonPath;
  std::size_t at = fixedPart;
  while (at + 4 <= alias.size()) {
    const std::uint16_t tag = bigEndian16(alias, at);
    const std::size_t length = bigEndian16(alias, at + 2);
    if (tag == 0xFFFF || length > alias.size() - at - 4) break;
    const std::string data(alias.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           alias.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
    if (tag == 18) posixPath = data;
    if (tag == 2) colonPath = data;
    at += 4 + length + (length % 2);
  }
  if (posixPath) return insideVolume(*posixPath);
  if (colonPath) {
    // "Volume:folder:file": the volume's name first, then each component in HFS form (a "/"
    // in a name stands for ":").
    std::string path;
    const std::size_t first = colonPath->find(':');
    if (first == std::string::npos) return std::nullopt;
    for (std::size_t i = first + 1; i < colonPath->size(); ++i) {
      const char c = (*colonPath)[i];
      path.push_back(c == ':' ? '/' : c == '/' ? ':' : c);
    }
    return insideVolume(path);
  }
  return std::nullopt;
}

} // namespace halyard
