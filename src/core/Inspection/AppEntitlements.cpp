#include "core/Inspection/AppEntitlements.hpp"

#include <algorithm>
#include <cstdint>
#include <ctime>

#include <fmt/format.h>

#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
constexpr const char* getTaskAllowKey = "com.apple.security.get-task-allow";
constexpr int maximumNesting = 32;

using PL = PropertyList;

std::string describeDate(std::int64_t seconds) {
  // Property-list dates count from 2001-01-01 00:00:00 UTC.
  const std::time_t time = static_cast<std::time_t>(seconds) + 978307200;
  std::tm parts{};
  gmtime_r(&time, &parts);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &parts);
  return buffer;
}

std::string describe(plist_t node, int depth) {
  if (depth > maximumNesting) return "…";
  switch (plist_get_node_type(node)) {
  case PLIST_BOOLEAN:
    return *PL::booleanValue(node) ? "true" : "false";
  case PLIST_UINT:
    // Negative integers are kept in two's complement.
    return std::to_string(*PL::integerValue(node));
  case PLIST_REAL:
    return fmt::format("{}", *PL::realValue(node));
  case PLIST_STRING: {
    // Up to the first NUL, as a C string.
    const std::string value = PL::stringValue(node).value_or("");
    return value.substr(0, value.find('\0'));
  }
  case PLIST_DATA:
    return std::to_string(PL::dataValue(node)->size()) + " bytes";
  case PLIST_DATE:
    return describeDate(*PL::dateValue(node));
  case PLIST_ARRAY: {
    std::vector<std::string> items;
    for (const plist_t item : PL::elements(node))
      items.push_back(describe(item, depth + 1));
    return "[" + text::joined(items, ", ") + "]";
  }
  case PLIST_DICT: {
    std::vector<std::string> pairs;
    for (const auto& [key, value] : PL::entries(node))
      pairs.push_back(key + ": " + describe(value, depth + 1));
    return "{" + text::joined(pairs, ", ") + "}";
  }
  case PLIST_UID:
    return std::to_string(*PL::uidValue(node));
  default:
    return "";
  }
}

std::string countOf(std::size_t count, const char* one, const char* many) {
  return count == 1 ? std::string("1 ") + one : std::to_string(count) + " " + many;
}
} // namespace

bool AppEntitlements::isSandboxed() const {
  return std::any_of(entries.begin(), entries.end(), [](const AppEntitlement& entry) {
    return entry.key == "com.apple.security.app-sandbox" && entry.isEnabled();
  });
}

bool AppEntitlements::allowsDebugging() const {
  return std::any_of(entries.begin(), entries.end(), [](const AppEntitlement& entry) {
    return entry.key == getTaskAllowKey && entry.isEnabled();
  });
}

std::vector<AppEntitlement> AppEntitlements::risky() const {
  std::vector<AppEntitlement> result;
  std::copy_if(entries.begin(), entries.end(), std::back_inserter(result),
               [](const AppEntitlement& entry) { return entry.isRisky(); });
  return result;
}

std::string AppEntitlements::summary() const {
  if (entries.empty()) return "None. The app asks for no special permissions.";
  std::vector<std::string> parts{countOf(entries.size(), "entitlement", "entitlements"),
                                 isSandboxed() ? "App Sandbox on" : "not sandboxed"};
  const auto riskyCount = risky().size();
  if (riskyCount > 0)
    parts.push_back(
        countOf(riskyCount, "relaxes a security protection", "relax security protections"));
  return text::joined(parts, " · ");
}

std::string AppEntitlements::detail() const {
  std::vector<std::string> lines;
  for (const auto& entry : entries) {
    const auto known = AppEntitlement::knownTitle(entry.key);
    lines.push_back(known ? std::string(*known) + " (" + entry.key + ") = " + entry.value
                          : entry.key + " = " + entry.value);
  }
  return text::joined(lines, "\n");
}

std::optional<AppEntitlements> AppEntitlements::read(const std::filesystem::path& appURL,
                                                     const InspectionRunner::Function& run) {
  const auto outcome =
      CodeSign::entitlements(appURL, InspectionRunner::bound(run, InspectionRunner::queryLimit));
  if (outcome.status != 0) return std::nullopt;
  // codesign prints nothing at all for an app signed without entitlements.
  if (text::trimmed(outcome.standardOutput).empty()) return AppEntitlements{};
  return parse(outcome.standardOutput);
}

std::optional<AppEntitlements> AppEntitlements::parse(std::string_view data) {
  const auto root = PL::parse(data);
  if (!PL::isDictionary(root.node())) return std::nullopt;

  AppEntitlements result;
  for (const auto& [key, value] : PL::entries(root.node()))
    result.entries.push_back(AppEntitlement{key, describe(value, 0)});
  std::sort(result.entries.begin(), result.entries.end(),
            [](const AppEntitlement& a, const AppEntitlement& b) { return a.key < b.key; });
  return result;
}

InspectionField AppEntitlements::field(const std::optional<AppEntitlements>& entitlements,
                                       InspectionFileKind kind) {
  using Catalogue = InspectionFieldCatalogue;
  if (!entitlements)
    return Catalogue::field(InspectionFieldID::entitlements, kind, "Could not be read.",
                            InspectionStatus::info);
  const auto risky = entitlements->risky();
  if (risky.empty())
    return Catalogue::field(InspectionFieldID::entitlements, kind, entitlements->summary(),
                            InspectionStatus::info, entitlements->detail());

  std::vector<std::string> parts;
  if (entitlements->allowsDebugging())
    parts.push_back("Debugging is allowed (get-task-allow). Apple rejects notarization for apps "
                    "with this entitlement, so this build was probably not meant for release.");
  std::vector<std::string> relaxed;
  for (const auto& entry : risky) {
    if (entry.key != getTaskAllowKey) relaxed.push_back(entry.title());
  }
  if (!relaxed.empty())
    parts.push_back("Relaxes Hardened Runtime protections: " + text::joined(relaxed, ", ") +
                    ". Common for apps with plug-ins or scripting engines, but worth knowing.");
  parts.push_back(entitlements->detail());
  return Catalogue::field(InspectionFieldID::entitlements, kind, entitlements->summary(),
                          InspectionStatus::warning, text::joined(parts, "\n\n"));
}

} // namespace halyard
