#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace halyard {

// The guarded input of the license-document readers. Every document is untrusted: its bytes are
// bounded here (what is inside a ZIP container, by DocumentContainer), so that a hostile file
// fails quickly and cleanly instead of filling memory. A refusal names its reason on the core
// debug hook and yields nothing; nothing here throws.
struct DocumentBytes {
  // The most bytes read from one document file.
  static constexpr std::uintmax_t fileLimit = std::uintmax_t{64} << 20;

  // The content of a regular file of at most `limit` bytes.
  static std::optional<std::string> readFile(const std::filesystem::path& file,
                                             std::uintmax_t limit = fileLimit);
  // The first `count` bytes of a regular file (fewer when it is shorter); nothing when it is not
  // a regular file or cannot be read. No note is sent: the caller decides what to refuse.
  static std::optional<std::string> readHead(const std::filesystem::path& file, std::size_t count);

  // Sends "[Halyard] Legal document refused (REASON): PATH" to the core debug hook.
  static void refuse(const std::filesystem::path& file, const std::string& reason);
};

} // namespace halyard
