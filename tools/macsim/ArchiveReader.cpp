#include "ArchiveReader.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace macsim {

std::string ArchiveReader::normalizedName(const std::string& name) {
  std::string result = name;
  while (result.rfind("./", 0) == 0)
    result.erase(0, 2);
  while (!result.empty() && result.back() == '/')
    result.pop_back();
  if (result == ".") result.clear();
  return result;
}

std::vector<ArchiveMember> ArchiveReader::read(std::string_view bytes) {
  std::unique_ptr<struct archive, decltype(&archive_read_free)> archive(archive_read_new(),
                                                                        &archive_read_free);
  struct archive* handle = archive.get();
  archive_read_support_filter_all(handle);
  archive_read_support_format_all(handle);
  if (archive_read_open_memory(handle, bytes.data(), bytes.size()) != ARCHIVE_OK)
    throw ArchiveError(archive_error_string(handle) ? archive_error_string(handle)
                                                    : "unrecognized archive");
  std::vector<ArchiveMember> members;
  struct archive_entry* entry = nullptr;
  while (true) {
    const int status = archive_read_next_header(handle, &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN)
      throw ArchiveError(archive_error_string(handle) ? archive_error_string(handle)
                                                      : "damaged archive");
    ArchiveMember member;
    const char* path = archive_entry_pathname(entry);
    member.name = normalizedName(path != nullptr ? path : "");
    member.mode = archive_entry_perm(entry);
    member.modified = archive_entry_mtime(entry);
    switch (archive_entry_filetype(entry)) {
    case AE_IFDIR:
      member.type = ArchiveMember::Type::directory;
      break;
    case AE_IFLNK:
      member.type = ArchiveMember::Type::symlink;
      member.linkTarget = archive_entry_symlink(entry) ? archive_entry_symlink(entry) : "";
      break;
    default:
      member.type = ArchiveMember::Type::file;
      break;
    }
    archive_entry_xattr_reset(entry);
    const char* attribute = nullptr;
    const void* value = nullptr;
    size_t size = 0;
    while (archive_entry_xattr_next(entry, &attribute, &value, &size) == ARCHIVE_OK)
      member.attributes.emplace_back(attribute, std::string(static_cast<const char*>(value), size));
    if (member.type == ArchiveMember::Type::file) {
      char buffer[65536];
      while (true) {
        const la_ssize_t got = archive_read_data(handle, buffer, sizeof buffer);
        if (got < 0) throw ArchiveError(archive_error_string(handle));
        if (got == 0) break;
        member.data.append(buffer, static_cast<size_t>(got));
      }
      // The xar reader can hand out padding after a member's data; its size is authoritative.
      if (archive_entry_size_is_set(entry) != 0 &&
          member.data.size() > static_cast<size_t>(archive_entry_size(entry)))
        member.data.resize(static_cast<size_t>(archive_entry_size(entry)));
    }
    members.push_back(std::move(member));
  }
  return members;
}

} // namespace macsim
