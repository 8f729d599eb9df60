#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Notarization/NotaryLog.hpp"
#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// `xcrun notarytool`: the one place that spells its command lines and reads what it answers.
// Every call that talks to the notary service carries the credentials' arguments after its own.
// The runs come back as they are; what a failure means for the step is the caller's to say.
struct Notary {
  // Whether `submit` stays until the service has decided (`--wait`).
  enum class Wait { no, yes };

  struct Submission {
    ToolProcessResult run;
    // The new submission's id from the JSON answer; empty unless notarytool exited 0 and named
    // one.
    std::string id;
  };
  // `notarytool submit FILE CREDENTIALS [--wait] --output-format json`.
  static Submission submit(const std::filesystem::path& file, const NotaryCredentials& credentials,
                           const ToolRun& run, Wait wait = Wait::no);

  // One status query about a submission.
  struct Info {
    ToolProcessResult run;
    // As the service spells it: "In Progress", "Accepted", "Invalid", "Rejected"; empty when the
    // query failed or its answer names none.
    std::string status;

    bool inProgress() const;
    bool accepted() const { return isAccepted(status); }
    // The query failed for a passing reason, so asking again may help: it hit its time limit, or
    // its output tells of network trouble or an HTTP 5xx answer.
    bool failedForNow() const;
  };
  // `notarytool info ID CREDENTIALS --output-format json`.
  static Info info(const std::string& id, const NotaryCredentials& credentials, const ToolRun& run);

  // `notarytool log ID CREDENTIALS`: none when the query fails (the service has not finished, or
  // cannot be asked) or prints no JSON object.
  static std::optional<NotaryLog> log(const std::string& id, const NotaryCredentials& credentials,
                                      const ToolRun& run);

  // `notarytool history CREDENTIALS --output-format json`: exits 0 only with credentials the
  // service accepts.
  static ToolProcessResult history(const NotaryCredentials& credentials, const ToolRun& run);

  // `notarytool store-credentials NAME [--apple-id EMAIL] [--team-id ID]`, absent or empty values
  // left out. notarytool asks for the rest (the password among it) on its terminal.
  static ToolProcessResult storeCredentials(const std::string& name,
                                            const std::optional<std::string>& appleID,
                                            const std::optional<std::string>& teamID,
                                            const ToolRun& run);

  // A status that is "Accepted" (in any letter case).
  static bool isAccepted(std::string_view status);
  // Whether notarytool's words say it could not reach the service for want of a network
  // connection (NSURLErrorDomain code -1009).
  static bool isOffline(std::string_view output);
  // Whether notarytool's words say the keychain holds no item for the profile it was given.
  static bool isMissingKeychainProfile(std::string_view output);
};

} // namespace halyard
