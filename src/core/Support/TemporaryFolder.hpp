#pragma once

#include <filesystem>
#include <string>

namespace halyard {

// A fresh folder in the user's temporary directory, named prefix + a random upper-case UUID,
// mode 0700, removed with everything in it when the owner goes out of scope (on every path,
// errors included) unless it was released.
class TemporaryFolder {
public:
  // Throws halyard::Error (domain "Halyard.temporaryFolder") when the folder cannot be made.
  explicit TemporaryFolder(const std::string& prefix);
  // The same, inside `parent` instead of the temporary directory.
  TemporaryFolder(const std::filesystem::path& parent, const std::string& prefix);
  ~TemporaryFolder();

  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  TemporaryFolder(TemporaryFolder&& other) noexcept;
  TemporaryFolder& operator=(TemporaryFolder&& other) noexcept;

  const std::filesystem::path& path() const { return path_; }

  // Removes the folder now; errors are ignored. Safe to call more than once.
  void remove() noexcept;

  // Gives up ownership: the folder stays. Returns its path.
  std::filesystem::path release() noexcept;

private:
  std::filesystem::path path_;
};

} // namespace halyard
