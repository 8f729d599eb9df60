#include "GenericPasswords.hpp"

#include <filesystem>

namespace macsim {

namespace {

constexpr const char* documentName = "generic-passwords.json";

nlohmann::json emptyList() {
  return nlohmann::json::array();
}

} // namespace

bool GenericPasswords::add(const std::string& service, const std::string& account,
                           const std::string& password, bool replace) const {
  bool added = true;
  store_.update(documentName, emptyList(), [&](nlohmann::json& items) {
    nlohmann::json kept = nlohmann::json::array();
    for (const auto& item : items) {
      if (item.value("service", "") == service && item.value("account", "") == account) {
        if (!replace) added = false;
        if (replace) continue;
      }
      kept.push_back(item);
    }
    if (added) kept.push_back({{"service", service}, {"account", account}, {"password", password}});
    items = kept;
  });
  std::error_code ignored;
  std::filesystem::permissions(
      store_.folder() / documentName,
      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ignored);
  return added;
}

std::optional<GenericPasswords::Item>
GenericPasswords::find(const std::optional<std::string>& service,
                       const std::optional<std::string>& account) const {
  for (const auto& item : store_.read(documentName, emptyList())) {
    Item found{item.value("service", ""), item.value("account", ""), item.value("password", "")};
    if ((!service || *service == found.service) && (!account || *account == found.account))
      return found;
  }
  return std::nullopt;
}

} // namespace macsim
