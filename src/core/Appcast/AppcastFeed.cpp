#include "core/Appcast/AppcastFeed.hpp"

#include <sys/stat.h>

#include <system_error>

#include "core/Appcast/AppcastFunctions.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/RegularFileReader.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readFeed(const fs::path& feed) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(feed, error))) return std::nullopt;
  try {
    return RegularFileReader::read(feed, AppcastFeed::maximumSize);
  } catch (const Error& failure) {
    throw AppcastFeedError("The feed " + feed.string() + " could not be read: " + failure.what());
  }
}

} // namespace

void AppcastFeed::check(const fs::path& feed) {
  if (const auto bytes = readFeed(feed)) {
    AppcastFunctions::current().checkFeed(*bytes, feed.string());
  }
}

std::string AppcastFeed::withItem(const std::optional<std::string>& existing,
                                  const AppcastItem& item, const std::string& channelTitle,
                                  const std::string& name) {
  return AppcastFunctions::current().feedWithItem(existing, item, channelTitle, name);
}

void AppcastFeed::addItem(const fs::path& feed, const AppcastItem& item,
                          const std::string& channelTitle) {
  std::error_code error;
  // A link stays a link: the file it names is the one replaced.
  const fs::path target = fs::is_symlink(feed, error) ? fs::canonical(feed) : feed;
  const auto existing = readFeed(target);
  const std::string bytes = withItem(existing, item, channelTitle, feed.string());
  mode_t mode = 0644;
  struct stat info {};
  if (existing && ::stat(target.c_str(), &info) == 0) mode = info.st_mode & 07777;
  if (target.has_parent_path()) fs::create_directories(target.parent_path());
  AtomicFile::writeAll(target, bytes, mode);
}

} // namespace halyard
