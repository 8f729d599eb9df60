#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace macsim {

// Tickets stapled to what they cover: an app's Contents/CodeResources, or the "ticket" entry of
// a disk image's or package's FileTrailer. A ticket names the cdhash it was issued for.
struct StapledTicket {
  // The cdhash a ticket for this item is keyed by: its code signature's, or for a package its
  // installer signature's; std::nullopt when it carries no usable signature.
  static std::optional<std::string> itemDigest(const std::filesystem::path& path);
  static std::optional<nlohmann::json> read(const std::filesystem::path& path);
  static void write(const std::filesystem::path& path, const nlohmann::json& ticket);
  // True when a stapled ticket exists and was issued for the item as it is now.
  static bool isValid(const std::filesystem::path& path);
};

} // namespace macsim
