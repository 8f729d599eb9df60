#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Inspection/AppEntitlement.hpp"
#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionModel.hpp"
#include "core/Inspection/InspectionRunner.hpp"

namespace halyard {

// The entitlements an app was signed with, explained for someone deciding whether to trust it.
struct AppEntitlements {
  std::vector<AppEntitlement> entries; // sorted by key

  bool isSandboxed() const;
  bool allowsDebugging() const;
  std::vector<AppEntitlement> risky() const;

  // "2 entitlements · App Sandbox on", or the sentence for an app that asks for nothing.
  std::string summary() const;
  // One line per entry: "Title (key) = value", or "key = value" for an unknown key.
  std::string detail() const;

  // Reads the entitlements with codesign. None when the tool fails or prints something other
  // than a dictionary; an app signed without entitlements (nothing printed) has no entries.
  static std::optional<AppEntitlements>
  read(const std::filesystem::path& appURL,
       const InspectionRunner::Function& run = InspectionRunner::standard());

  // The entitlements in a property list whose top level is a dictionary, or none.
  static std::optional<AppEntitlements> parse(std::string_view data);

  // The report's "Entitlements" field for what was read (none: it could not be read).
  static InspectionField field(const std::optional<AppEntitlements>& entitlements,
                               InspectionFileKind kind);

  bool operator==(const AppEntitlements&) const = default;
};

} // namespace halyard
