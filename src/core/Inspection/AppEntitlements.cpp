#include "core/Inspection/AppEntitlements.hpp"

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <limits>
#include <memory>

#include <fmt/format.h>

#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
constexpr const char* getTaskAllowKey = "com.apple.security.get-task-allow";
constexpr int maximumNesting = 32;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistFree>;

std::string describeDate(plist_t node) {
  int32_t seconds = 0;
  int32_t microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
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
  case PLIST_BOOLEAN: {
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value ? "true" : "false";
  }
  case PLIST_UINT: {
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    // Negative integers are kept in two's complement.
    return std::to_string(static_cast<int64_t>(value));
  }
  case PLIST_REAL: {
    double value = 0;
    plist_get_real_val(node, &value);
    return fmt::format("{}", value);
  }
  case PLIST_STRING: {
    char* value = nullptr;
    plist_get_string_val(node, &value);
    std::string text = value ? value : "";
    free(value);
    return text;
  }
  case PLIST_DATA: {
    char* value = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &value, &length);
    free(value);
    return std::to_string(length) + " bytes";
  }
  case PLIST_DATE:
    return describeDate(node);
  case PLIST_ARRAY: {
    std::vector<std::string> items;
    const uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i)
      items.push_back(describe(plist_array_get_item(node, i), depth + 1));
    return "[" + text::joined(items, ", ") + "]";
  }
  case PLIST_DICT: {
    std::vector<std::string> pairs;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    for (;;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(node, iterator, &key, &value);
      if (!key) break;
      pairs.push_back(std::string(key) + ": " + describe(value, depth + 1));
      free(key);
    }
    free(iterator);
    return "{" + text::joined(pairs, ", ") + "}";
  }
  case PLIST_UID: {
    uint64_t value = 0;
    plist_get_uid_val(node, &value);
    return std::to_string(value);
  }
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
      run("/usr/bin/codesign", {"-d", "--entitlements", "-", "--xml", appURL.string()}, 90,
          std::nullopt);
  if (outcome.status != 0) return std::nullopt;
  // codesign prints nothing at all for an app signed without entitlements.
  if (text::trimmed(outcome.standardOutput).empty()) return AppEntitlements{};
  return parse(outcome.standardOutput);
}

std::optional<AppEntitlements> AppEntitlements::parse(std::string_view data) {
  if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
  const PlistHandle handle(root);
  if (!root || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;

  AppEntitlements result;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(root, &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(root, iterator, &key, &value);
    if (!key) break;
    result.entries.push_back(AppEntitlement{key, describe(value, 0)});
    free(key);
  }
  free(iterator);
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
