#include "core/Legal/DocumentBytes.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/RegularFileReader.hpp"

namespace halyard {

namespace {
struct ArchiveFree {
  void operator()(archive* reader) const { archive_read_free(reader); }
};
} // namespace

void DocumentBytes::refuse(const std::filesystem::path& file, const std::string& reason) {
  HalyardCoreLog::debugMessage("[Halyard] Legal document refused (" + reason +
                               "): " + file.string());
}

std::optional<std::string> DocumentBytes::readFile(const std::filesystem::path& file,
                                                   std::uintmax_t limit) {
  try {
    return RegularFileReader::read(file, limit);
  } catch (const std::exception& error) {
    refuse(file, error.what());
  }
  return std::nullopt;
}

std::optional<std::string> DocumentBytes::readHead(const std::filesystem::path& file,
                                                   std::size_t count) {
  // Not blocking on a FIFO, reading nothing but a regular file, as the whole-file reader does.
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return std::nullopt;
  std::string bytes(count, '\0');
  std::size_t filled = 0;
  struct stat info {};
  bool readable = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
  while (readable && filled < count) {
    const ssize_t got = ::read(descriptor, bytes.data() + filled, count - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readable = false;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  ::close(descriptor);
  if (!readable) return std::nullopt;
  bytes.resize(filled);
  return bytes;
}

std::optional<std::string> DocumentBytes::zipEntry(std::string_view zip, std::string_view name,
                                                   const std::filesystem::path& file,
                                                   bool required) {
  std::unique_ptr<archive, ArchiveFree> reader(archive_read_new());
  if (!reader) return std::nullopt;
  archive_read_support_format_zip(reader.get());
  if (archive_read_open_memory(reader.get(), zip.data(), zip.size()) != ARCHIVE_OK) {
    refuse(file, "not a ZIP container");
    return std::nullopt;
  }
  archive_entry* entry = nullptr;
  for (std::size_t count = 0;; ++count) {
    if (count >= entryLimit) {
      refuse(file, "the ZIP container lists too many entries");
      return std::nullopt;
    }
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) {
      if (required) refuse(file, "the ZIP container has no " + std::string(name));
      return std::nullopt;
    }
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
      refuse(file, "the ZIP container is damaged");
      return std::nullopt;
    }
    const char* path = archive_entry_pathname(entry);
    if (path != nullptr && name == path) break;
  }

  if (archive_entry_size_is_set(entry) &&
      static_cast<std::uintmax_t>(archive_entry_size(entry)) > expandedEntryLimit) {
    refuse(file, "the ZIP entry expands beyond the limit");
    return std::nullopt;
  }
  // The declared size may lie: the limit is enforced on the bytes actually inflated.
  std::string content;
  char buffer[65536];
  while (true) {
    const la_ssize_t count = archive_read_data(reader.get(), buffer, sizeof buffer);
    if (count < 0) {
      refuse(file, "the ZIP entry is damaged");
      return std::nullopt;
    }
    if (count == 0) break;
    if (content.size() + static_cast<std::size_t>(count) > expandedEntryLimit) {
      refuse(file, "the ZIP entry expands beyond the limit");
      return std::nullopt;
    }
    content.append(buffer, static_cast<std::size_t>(count));
  }
  return content;
}

DocumentBytes::XMLDocument DocumentBytes::parseXML(std::string_view xml) {
  if (xml.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return nullptr;
  // Refused before parsing, so that no declaration of a hostile DTD is ever processed.
  if (xml.find("<!DOCTYPE") != std::string_view::npos) return nullptr;
  XMLDocument document(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA));
  return document;
}

} // namespace halyard
