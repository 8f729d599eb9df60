#include "ArchiveWriter.hpp"

#include "ExtendedAttributes.hpp"
#include "Files.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

ArchiveMember memberFor(const fs::path& item, const std::string& name, bool withAttributes) {
  struct stat info {};
  if (::lstat(item.c_str(), &info) != 0) throw std::runtime_error(item.string() + ": unreadable");
  ArchiveMember member;
  member.name = name;
  member.mode = info.st_mode & 07777;
  member.modified = info.st_mtim.tv_sec;
  if (S_ISDIR(info.st_mode)) {
    member.type = ArchiveMember::Type::directory;
  } else if (S_ISLNK(info.st_mode)) {
    member.type = ArchiveMember::Type::symlink;
    member.linkTarget = fs::read_symlink(item).string();
  } else if (S_ISREG(info.st_mode)) {
    member.data = Files::read(item);
  } else {
    member.name.clear(); // devices, sockets and pipes are left out
  }
  if (withAttributes)
    for (const auto& attribute : ExtendedAttributes::names(item))
      if (auto value = ExtendedAttributes::value(item, attribute))
        member.attributes.emplace_back("user." + attribute, std::move(*value));
  return member;
}

int openCallback(struct archive*, void*) {
  return ARCHIVE_OK;
}

la_ssize_t writeCallback(struct archive*, void* context, const void* buffer, size_t length) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(buffer), length);
  return static_cast<la_ssize_t>(length);
}

int closeCallback(struct archive*, void*) {
  return ARCHIVE_OK;
}

} // namespace

std::vector<ArchiveMember> ArchiveWriter::membersOf(const fs::path& folder,
                                                    const std::string& prefix, bool includeRoot,
                                                    bool withAttributes) {
  std::vector<ArchiveMember> members;
  if (includeRoot) {
    std::string rootName = prefix;
    while (!rootName.empty() && rootName.back() == '/')
      rootName.pop_back();
    members.push_back(memberFor(folder, rootName.empty() ? "." : rootName, withAttributes));
  }
  for (const auto& relative : Files::walk(folder)) {
    auto member = memberFor(folder / relative, prefix + relative.generic_string(), withAttributes);
    if (!member.name.empty()) members.push_back(std::move(member));
  }
  return members;
}

std::string ArchiveWriter::write(const std::vector<ArchiveMember>& members, Format format,
                                 Filter filter, int level) {
  std::unique_ptr<struct archive, decltype(&archive_write_free)> archive(archive_write_new(),
                                                                         &archive_write_free);
  struct archive* handle = archive.get();
  switch (format) {
  case Format::zip:
    archive_write_set_format_zip(handle);
    if (level >= 0)
      archive_write_set_format_option(handle, "zip", "compression-level",
                                      std::to_string(level).c_str());
    break;
  case Format::tar:
    archive_write_set_format_pax_restricted(handle);
    break;
  case Format::cpio:
    archive_write_set_format_cpio(handle);
    break;
  case Format::xar:
    archive_write_set_format_xar(handle);
    archive_write_set_format_option(handle, "xar", "toc-checksum", "sha1");
    break;
  }
  switch (filter) {
  case Filter::none:
    break;
  case Filter::gzip:
    archive_write_add_filter_gzip(handle);
    if (level >= 0)
      archive_write_set_filter_option(handle, "gzip", "compression-level",
                                      std::to_string(level).c_str());
    archive_write_set_filter_option(handle, "gzip", "timestamp", nullptr);
    break;
  case Filter::bzip2:
    archive_write_add_filter_bzip2(handle);
    break;
  case Filter::lz4:
    archive_write_add_filter_lz4(handle);
    break;
  case Filter::lzma:
    archive_write_add_filter_lzma(handle);
    break;
  }
  archive_write_set_bytes_in_last_block(handle, 1);
  std::string output;
  if (archive_write_open(handle, &output, openCallback, writeCallback, closeCallback) != ARCHIVE_OK)
    throw std::runtime_error(archive_error_string(handle));
  for (const auto& member : members) {
    std::unique_ptr<struct archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                               &archive_entry_free);
    // A reader gives the root folder of an archive the empty name.
    archive_entry_set_pathname(entry.get(), member.name.empty() ? "." : member.name.c_str());
    archive_entry_set_mtime(entry.get(), member.modified, 0);
    switch (member.type) {
    case ArchiveMember::Type::file:
      archive_entry_set_filetype(entry.get(), AE_IFREG);
      archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.data.size()));
      break;
    case ArchiveMember::Type::directory:
      archive_entry_set_filetype(entry.get(), AE_IFDIR);
      archive_entry_set_size(entry.get(), 0);
      break;
    case ArchiveMember::Type::symlink:
      archive_entry_set_filetype(entry.get(), AE_IFLNK);
      archive_entry_set_symlink(entry.get(), member.linkTarget.c_str());
      archive_entry_set_size(entry.get(), 0);
      break;
    }
    archive_entry_set_perm(entry.get(), member.mode & 07777);
    for (const auto& [attribute, value] : member.attributes)
      archive_entry_xattr_add_entry(entry.get(), attribute.c_str(), value.data(), value.size());
    if (archive_write_header(handle, entry.get()) < ARCHIVE_WARN)
      throw std::runtime_error(member.name + ": " + archive_error_string(handle));
    if (member.type == ArchiveMember::Type::file && !member.data.empty())
      if (archive_write_data(handle, member.data.data(), member.data.size()) < 0)
        throw std::runtime_error(member.name + ": " + archive_error_string(handle));
  }
  if (archive_write_close(handle) != ARCHIVE_OK)
    throw std::runtime_error(archive_error_string(handle));
  return output;
}

} // namespace macsim
