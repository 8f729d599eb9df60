#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Notarization/NotaryPolling.hpp"
#include "core/Notarization/TicketPropagation.hpp"

namespace halyard {

// Notarizes one app bundle: zips it with ditto into a fresh folder "Halyard_AppNotary_<UUID>"
// in the temporary directory (removed when the operation ends, however it ends), submits the
// archive (NotaryPolling: upload, then status queries for at most `wait` seconds; the
// submission's id is told through the progress callback and `submitted` as soon as it is known),
// and staples the ticket to the app.
// A staple that finds no record right after the acceptance is tried again (TicketPropagation).
// Tools run through ToolProcess with a limit of 900 seconds each, on the calling thread.
// Failures are AppBundleNotarizerError with the tool's words; a wait that ends without a verdict
// (its bound reached, or too many status queries failed) is the NotaryPollingError naming the
// submission, which Apple keeps working on; a folder that cannot be made throws the file
// system's error. Construct one notarizer per run.
class AppBundleNotarizer {
public:
  using Progress = std::function<void(const std::string&)>;

  static constexpr const char* temporaryFolderPrefix = "Halyard_AppNotary_";
  static constexpr double toolLimit = 900;

  explicit AppBundleNotarizer(TicketPropagation propagation = {},
                              NotaryPolling polling = NotaryPolling::standard())
      : propagation_(std::move(propagation)), polling_(std::move(polling)) {}
  AppBundleNotarizer(const AppBundleNotarizer&) = delete;
  AppBundleNotarizer& operator=(const AppBundleNotarizer&) = delete;

  // `progress` may be empty.
  void notarizeAndStaple(const std::filesystem::path& app, const NotaryCredentials& credentials,
                         const Progress& progress);
  void notarizeAndStaple(const std::filesystem::path& app, const std::string& keychainProfile,
                         const Progress& progress);

  // Seconds to wait for the verdict once the archive is uploaded.
  double wait = toolLimit;
  // Told the submission's id as soon as the upload has it. May be empty.
  std::function<void(const std::string&)> submitted;

private:
  TicketPropagation propagation_;
  NotaryPolling polling_;
};

} // namespace halyard
