#include "ArchiveExtractor.hpp"

#include "ArchiveReader.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace fs = std::filesystem;

namespace macsim {

namespace {

using Reader = std::unique_ptr<struct archive, decltype(&archive_read_free)>;

Reader openReader(std::string_view bytes) {
  Reader reader(archive_read_new(), &archive_read_free);
  archive_read_support_filter_all(reader.get());
  archive_read_support_format_all(reader.get());
  if (archive_read_open_memory(reader.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) {
    const char* message = archive_error_string(reader.get());
    throw ExtractionError(message != nullptr ? message : "unrecognized archive");
  }
  return reader;
}

bool escapes(const fs::path& relative) {
  if (relative.is_absolute()) return true;
  int depth = 0;
  for (const auto& part : relative.lexically_normal()) {
    if (part == "..")
      --depth;
    else if (part != "." && !part.empty())
      ++depth;
    if (depth < 0) return true;
  }
  return false;
}

} // namespace

std::string ArchiveExtractor::refusal(const std::string& name, const std::string& linkTarget,
                                      bool allowEscapingLinks) {
  const fs::path path(name);
  if (path.is_absolute() || (!name.empty() && name[0] == '/'))
    return name + ": absolute path in archive";
  for (const auto& part : path)
    if (part == "..") return name + ": path contains \"..\"";
  if (!linkTarget.empty() && !allowEscapingLinks) {
    const fs::path target(linkTarget);
    if (target.is_absolute() || escapes(path.parent_path() / target))
      return name + ": symbolic link leads outside the destination (" + linkTarget + ")";
  }
  return {};
}

void ArchiveExtractor::extract(std::string_view bytes, const fs::path& destination,
                               const Options& options) {
  // First pass: refuse the whole archive before writing anything.
  {
    Reader reader = openReader(bytes);
    struct archive_entry* entry = nullptr;
    while (true) {
      const int status = archive_read_next_header(reader.get(), &entry);
      if (status == ARCHIVE_EOF) break;
      if (status < ARCHIVE_WARN) throw ExtractionError(archive_error_string(reader.get()));
      const char* raw = archive_entry_pathname(entry);
      const std::string rawName = raw != nullptr ? raw : "";
      const std::string name = ArchiveReader::normalizedName(rawName);
      if (options.skip && options.skip(name)) continue;
      const char* link = archive_entry_symlink(entry);
      std::string why = refusal(rawName, link != nullptr ? link : "", options.allowEscapingLinks);
      if (why.empty())
        if (const char* hard = archive_entry_hardlink(entry)) why = refusal(hard, "", true);
      if (!why.empty()) throw ExtractionError(why);
    }
  }

  fs::create_directories(destination);
  const fs::path root = fs::canonical(destination);
  std::unique_ptr<struct archive, decltype(&archive_write_free)> disk(archive_write_disk_new(),
                                                                      &archive_write_free);
  archive_write_disk_set_options(
      disk.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_XATTR |
                      ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT);
  archive_write_disk_set_standard_lookup(disk.get());
  Reader reader = openReader(bytes);
  struct archive_entry* entry = nullptr;
  while (true) {
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) throw ExtractionError(archive_error_string(reader.get()));
    const char* raw = archive_entry_pathname(entry);
    const std::string name = ArchiveReader::normalizedName(raw != nullptr ? raw : "");
    if (options.skip && options.skip(name)) continue;
    const fs::path target = name.empty() ? root : root / name;
    archive_entry_set_pathname(entry, target.c_str());
    if (const char* hard = archive_entry_hardlink(entry))
      archive_entry_set_hardlink(entry, (root / ArchiveReader::normalizedName(hard)).c_str());
    if (archive_write_header(disk.get(), entry) < ARCHIVE_WARN)
      throw ExtractionError(name + ": " + archive_error_string(disk.get()));
    const void* buffer = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    while (true) {
      const int read = archive_read_data_block(reader.get(), &buffer, &size, &offset);
      if (read == ARCHIVE_EOF) break;
      if (read < ARCHIVE_WARN) throw ExtractionError(archive_error_string(reader.get()));
      if (archive_write_data_block(disk.get(), buffer, size, offset) < ARCHIVE_WARN)
        throw ExtractionError(name + ": " + archive_error_string(disk.get()));
    }
    archive_write_finish_entry(disk.get());
  }
  archive_write_close(disk.get());
}

} // namespace macsim
