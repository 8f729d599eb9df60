#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/Notarization/NotarizationStatus.hpp"
#include "core/Notarization/NotaryCredentials.hpp"

namespace halyard {

// Thin operations around notarytool, stapler and spctl (asked through Gatekeeper). Every run goes
// through the shared runner with the platform path of the tool; failures are CoreCommandError,
// passed through unchanged.
struct NotaryTool {
  static constexpr double toolTimeout = 3600;

  // Submits the file and waits until notarytool returns; the result is the tool's output (JSON).
  // Acceptance is for the caller to decide from it.
  static std::string submitAndWait(const std::filesystem::path& file,
                                   const NotaryCredentials& credentials);
  static std::string submitAndWait(const std::filesystem::path& file,
                                   const std::string& keychainProfile);

  static void staple(const std::filesystem::path& file);

  // The output of `stapler validate`; throws when the file carries no valid ticket.
  static std::string validateStaple(const std::filesystem::path& file);

  // Never throw: every failure of the check becomes NotarizationStatus::failed.
  static NotarizationStatus statusOfDiskImage(const std::filesystem::path& file);
  static NotarizationStatus statusOfApp(const std::filesystem::path& file);

  // Whether the output of stapler or spctl says the file is notarized (case-insensitive).
  static bool looksNotarized(std::string_view output);
};

} // namespace halyard
