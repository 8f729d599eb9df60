#include "core/Signing/Gatekeeper.hpp"

#include <string_view>
#include <utility>

#include "core/Process/AppleTools.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
constexpr std::string_view sourcePrefix = "source=";
} // namespace

bool Gatekeeper::Assessment::notarized() const {
  return source && source->starts_with("Notarized Developer ID");
}

bool Gatekeeper::Assessment::unnotarizedDeveloperID() const {
  return source &&
         (source->starts_with("Unnotarized Developer ID") || source->starts_with("Developer ID"));
}

std::vector<std::string> Gatekeeper::arguments(Kind kind, const std::filesystem::path& file,
                                               Form form) {
  const std::string verbosity = form.verbosity >= 3 ? "-vvv" : "-vv";
  std::vector<std::string> arguments;
  if (form.abbreviated)
    arguments = {"-a", "-t"};
  else
    arguments = {"--assess", verbosity, "--type"};
  switch (kind) {
  case Kind::execute:
    arguments.push_back(form.abbreviated ? "exec" : "execute");
    break;
  case Kind::open:
    arguments.push_back("open");
    break;
  case Kind::install:
    arguments.push_back("install");
    break;
  }
  if (form.abbreviated) arguments.push_back(verbosity);
  if (kind == Kind::open)
    arguments.insert(arguments.end(), {"--context", "context:primary-signature"});
  arguments.push_back(file.string());
  return arguments;
}

Gatekeeper::Assessment Gatekeeper::assess(Kind kind, const std::filesystem::path& file,
                                          const ToolRun& run, Form form) {
  return read(run(AppleTools::spctl, arguments(kind, file, form)));
}

Gatekeeper::Assessment Gatekeeper::read(ToolProcessResult run) {
  Assessment assessment;
  // The verdict is on standard error, or on standard output from a runner that merges the two.
  const std::string words = run.combined();
  std::string_view rest = words;
  while (!assessment.source && !rest.empty()) {
    const auto end = rest.find_first_of("\r\n");
    const auto line = text::trimmed(rest.substr(0, end));
    if (line.starts_with(sourcePrefix))
      assessment.source = text::trimmed(std::string_view(line).substr(sourcePrefix.size()));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  assessment.rejected = text::containsIgnoringCase(words, "rejected");
  assessment.run = std::move(run);
  return assessment;
}

} // namespace halyard
