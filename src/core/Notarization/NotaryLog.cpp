#include "core/Notarization/NotaryLog.hpp"

#include <nlohmann/json.hpp>

#include "core/Support/Text.hpp"

namespace halyard {

std::optional<NotaryLog> NotaryLog::parse(std::string_view json) {
  const auto parsed = nlohmann::json::parse(json, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  const auto text = [](const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>()
                                                         : std::string();
  };
  NotaryLog log;
  log.sha256 = text::lowercasedASCII(text::trimmed(text(parsed, "sha256")));
  const auto issues = parsed.find("issues");
  if (issues != parsed.end() && issues->is_array()) {
    for (const auto& issue : *issues) {
      if (issue.is_object()) log.issues.push_back({text(issue, "path"), text(issue, "message")});
    }
  }
  return log;
}

} // namespace halyard
