#include "DiskImage.hpp"

#include "ArchiveExtractor.hpp"
#include "ArchiveReader.hpp"
#include "ArchiveWriter.hpp"
#include "ExtendedAttributes.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"

#include <array>

namespace fs = std::filesystem;

namespace macsim {

namespace {

struct FormatInfo {
  const char* name;
  const char* description;
  bool writable;
  ArchiveWriter::Filter filter;
};

constexpr std::array<FormatInfo, 7> formats = {{
    {"UDRW", "UDIF read/write", true, ArchiveWriter::Filter::none},
    {"UDRO", "UDIF read-only", false, ArchiveWriter::Filter::none},
    {"UDZO", "UDIF read-only compressed (zlib)", false, ArchiveWriter::Filter::gzip},
    {"UDBZ", "UDIF read-only compressed (bzip2)", false, ArchiveWriter::Filter::bzip2},
    {"ULFO", "UDIF read-only compressed (lzfse)", false, ArchiveWriter::Filter::lz4},
    {"ULMO", "UDIF read-only compressed (lzma)", false, ArchiveWriter::Filter::lzma},
    {"RAW", "raw read/write", true, ArchiveWriter::Filter::none},
}};

const FormatInfo* lookup(const std::string& format) {
  for (const auto& info : formats)
    if (format == info.name) return &info;
  return nullptr;
}

nlohmann::json toJson(const DiskImage::Properties& properties) {
  return {{"format", properties.format},
          {"filesystem", properties.filesystem},
          {"volumeName", properties.volumeName},
          {"capacity", properties.capacity}};
}

std::string archiveOf(const fs::path& folder, const std::string& format, int level) {
  const auto* info = lookup(format);
  // Extended attributes travel with the volume (a custom icon is a flag in the root folder's
  // Finder information); the root itself is stored only when it carries some, so that images
  // without attributes keep their bytes.
  const bool rootHasAttributes = !ExtendedAttributes::names(folder).empty();
  auto members = ArchiveWriter::membersOf(folder, "", rootHasAttributes, true);
  return ArchiveWriter::write(members, ArchiveWriter::Format::tar,
                              info ? info->filter : ArchiveWriter::Filter::none,
                              format == "UDZO" ? level : -1);
}

void writeImage(const fs::path& path, const std::string& archive, const nlohmann::json& metadata) {
  Files::writeAtomically(path, archive + FileTrailer::encode(metadata));
}

} // namespace

bool DiskImage::isKnownFormat(const std::string& format) {
  return lookup(format) != nullptr;
}

bool DiskImage::isWritableFormat(const std::string& format) {
  const auto* info = lookup(format);
  return info != nullptr && info->writable;
}

bool DiskImage::isCompressedFormat(const std::string& format) {
  const auto* info = lookup(format);
  return info != nullptr && info->filter != ArchiveWriter::Filter::none;
}

std::string DiskImage::formatDescription(const std::string& format) {
  const auto* info = lookup(format);
  return info ? info->description : format;
}

bool DiskImage::isImage(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return false;
  try {
    return FileTrailer::read(path).metadata.contains("image");
  } catch (const std::exception&) {
    return false;
  }
}

DiskImage::Properties DiskImage::properties(const fs::path& path) {
  if (!isImage(path)) throw DiskImageError("image not recognized");
  const auto image = FileTrailer::read(path).metadata["image"];
  Properties properties;
  properties.format = image.value("format", "UDRW");
  properties.filesystem = image.value("filesystem", "HFS+");
  properties.volumeName = image.value("volumeName", "untitled");
  properties.capacity = image.value("capacity", std::uint64_t{0});
  return properties;
}

void DiskImage::create(const fs::path& path, const Properties& properties,
                       const std::optional<fs::path>& source, int level) {
  std::string archive;
  if (source) {
    if (properties.capacity > 0 && Files::allocatedSize(*source) > properties.capacity)
      throw DiskImageError("No space left on device");
    archive = archiveOf(*source, properties.format, level);
  } else {
    archive = ArchiveWriter::write({}, ArchiveWriter::Format::tar,
                                   lookup(properties.format) ? lookup(properties.format)->filter
                                                             : ArchiveWriter::Filter::none);
  }
  writeImage(path, archive, {{"image", toJson(properties)}});
}

void DiskImage::unpack(const fs::path& image, const fs::path& folder) {
  properties(image);
  const std::string content = FileTrailer::content(image);
  try {
    ArchiveExtractor::Options options;
    options.allowEscapingLinks = true; // a volume's Applications link points at /Applications
    ArchiveExtractor::extract(content, folder, options);
  } catch (const ExtractionError& error) {
    throw DiskImageError(std::string("image data corrupted: ") + error.what());
  }
}

bool DiskImage::repack(const fs::path& image, const fs::path& folder) {
  const auto current = properties(image);
  if (current.capacity > 0 && Files::allocatedSize(folder) > current.capacity)
    throw DiskImageError("No space left on device");
  const std::string archive = archiveOf(folder, current.format, -1);
  if (archive == FileTrailer::content(image)) return false;
  writeImage(image, archive, FileTrailer::read(image).metadata);
  return true;
}

void DiskImage::convert(const fs::path& source, const fs::path& destination,
                        const std::string& format, int level) {
  auto properties = DiskImage::properties(source);
  const auto members = ArchiveReader::read(FileTrailer::content(source));
  const auto* info = lookup(format);
  if (info == nullptr) throw DiskImageError("invalid format " + format);
  const std::string archive = ArchiveWriter::write(members, ArchiveWriter::Format::tar,
                                                   info->filter, format == "UDZO" ? level : -1);
  properties.format = format;
  // A converted image is a new image: no signature or ticket comes along, but the license
  // resources travel with the image's contents, as they do with the real tool.
  nlohmann::json metadata = {{"image", toJson(properties)}};
  if (const auto license = resources(source)) metadata["resources"] = *license;
  writeImage(destination, archive, metadata);
}

std::optional<std::string> DiskImage::resources(const fs::path& path) {
  const auto metadata = FileTrailer::read(path).metadata;
  auto found = metadata.find("resources");
  if (found == metadata.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

void DiskImage::setResources(const fs::path& path, const std::string& xml) {
  auto metadata = FileTrailer::read(path).metadata;
  metadata["resources"] = xml;
  FileTrailer::write(path, metadata);
}

} // namespace macsim
