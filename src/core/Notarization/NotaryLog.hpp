#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// What `notarytool log ID` tells of a finished submission (its JSON form): the digest of the file
// Apple received and the issues it found in it.
struct NotaryLog {
  struct Issue {
    std::string path;    // inside the submitted file; empty when the issue is about all of it
    std::string message; // the service's sentence
  };

  std::string sha256; // lower-case hexadecimal; empty when the log has none
  std::vector<Issue> issues;

  // None when the text is not a JSON object. Members of the wrong type count as absent.
  static std::optional<NotaryLog> parse(std::string_view json);
};

} // namespace halyard
