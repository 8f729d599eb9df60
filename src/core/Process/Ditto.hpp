#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// A ditto run that did not exit 0. It is the CoreCommandError that CoreCommand would throw for
// the same run (code: the status, -2 at the time limit; description: the tool's words), and it
// keeps the whole result for callers that report the output in their own way.
class DittoError : public CoreCommandError {
public:
  explicit DittoError(ToolProcessResult result);

  const ToolProcessResult& result() const { return result_; }
  bool timedOut() const { return result_.status == ToolProcessResult::timedOutStatus; }

private:
  ToolProcessResult result_;
};

// The platform's copier in its three uses here, each command line built here alone. A copy keeps
// links as links (never following one out of the bundle), permissions, extended attributes and
// resource forks; an archive is the ZIP the notary service takes, with the bundle itself at its
// top; an extraction unpacks such an archive, resource forks and extended attributes included.
// Every run goes through ProcessRunner with the settings of the component that owns this Ditto
// (AppleTools::request) and its time limit; a run that does not exit 0 throws DittoError.
class Ditto {
public:
  // `limit` in seconds; none waits for ditto however long it takes.
  Ditto(AppleTools::Runner runner, std::optional<double> limit) : runner_(runner), limit_(limit) {}

  // `ditto SOURCE DESTINATION`
  void copy(const std::filesystem::path& source, const std::filesystem::path& destination) const;
  // `ditto -c -k --keepParent BUNDLE ARCHIVE`
  void archive(const std::filesystem::path& bundle, const std::filesystem::path& archive) const;
  // `ditto -x -k --sequesterRsrc --rsrc ARCHIVE DESTINATION`
  void extract(const std::filesystem::path& archive,
               const std::filesystem::path& destination) const;

private:
  void run(std::vector<std::string> arguments) const;

  AppleTools::Runner runner_;
  std::optional<double> limit_;
};

} // namespace halyard
