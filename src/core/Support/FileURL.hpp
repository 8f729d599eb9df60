#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// A URL as a template stores it: {"relative": "file:///…", "base": {…}}, the base optional and
// coded the same way. The value kept is the absolute URL after resolving against the base.
// Usually a file URL, but other schemes decode too (they simply never name a local file).
class FileURL {
public:
  // The URL `relative` resolved against `base` (RFC 3986, section 5.2), or nothing when
  // `relative` is empty or holds a control character.
  static std::optional<FileURL> make(std::string_view relative,
                                     const std::optional<FileURL>& base = std::nullopt);

  // The file URL of an absolute local path, percent-encoding what needs it.
  static FileURL fromPath(const std::filesystem::path& path);

  const std::string& absoluteString() const { return string_; }
  std::string scheme() const; // lower-cased, "" when none
  bool isFileURL() const { return scheme() == "file"; }

  // The percent-decoded path component (for a file URL, the local path).
  std::filesystem::path path() const;

  friend bool operator==(const FileURL&, const FileURL&) = default;

private:
  explicit FileURL(std::string string) : string_(std::move(string)) {}
  std::string string_;
};

} // namespace halyard
