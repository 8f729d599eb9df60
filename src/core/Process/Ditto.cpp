#include "core/Process/Ditto.hpp"

#include <limits>

#include "core/Process/ProcessRunner.hpp"

namespace halyard {

DittoError::DittoError(ToolProcessResult result)
    : CoreCommandError(result.status, CoreCommand::failureDescription(result)),
      result_(std::move(result)) {}

void Ditto::copy(const std::filesystem::path& source,
                 const std::filesystem::path& destination) const {
  run({source.string(), destination.string()});
}

void Ditto::archive(const std::filesystem::path& bundle,
                    const std::filesystem::path& archive) const {
  run({"-c", "-k", "--keepParent", bundle.string(), archive.string()});
}

void Ditto::extract(const std::filesystem::path& archive,
                    const std::filesystem::path& destination) const {
  run({"-x", "-k", "--sequesterRsrc", "--rsrc", archive.string(), destination.string()});
}

void Ditto::run(std::vector<std::string> arguments) const {
  auto result = ProcessRunner::run(
      AppleTools::request(runner_, AppleTools::ditto, std::move(arguments),
                          limit_.value_or(std::numeric_limits<double>::infinity())));
  if (!result.succeeded()) throw DittoError(std::move(result));
}

} // namespace halyard
