#include "core/Notarization/NotaryTool.hpp"

#include <exception>
#include <string>
#include <vector>

#include "core/Process/CoreCommand.hpp"

namespace halyard {

namespace {

std::string lowerCasedASCII(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

NotarizationStatus classified(const std::filesystem::path& executable,
                              const std::vector<std::string>& arguments) {
  try {
    const std::string output = CoreCommand::capture(executable, arguments, NotaryTool::toolTimeout);
    return NotaryTool::looksNotarized(output) ? NotarizationStatus::notarized()
                                              : NotarizationStatus::notNotarized();
  } catch (const std::exception& error) {
    return NotarizationStatus::failed(error.what());
  }
}

} // namespace

std::string NotaryTool::submitAndWait(const std::filesystem::path& file,
                                      const NotaryCredentials& credentials) {
  std::vector<std::string> arguments{"notarytool", "submit", file.string()};
  const auto authentication = credentials.arguments();
  arguments.insert(arguments.end(), authentication.begin(), authentication.end());
  arguments.insert(arguments.end(), {"--wait", "--output-format", "json"});
  return CoreCommand::capture(xcrunPath, arguments, toolTimeout);
}

std::string NotaryTool::submitAndWait(const std::filesystem::path& file,
                                      const std::string& keychainProfile) {
  return submitAndWait(file, NotaryCredentials::keychainProfile(keychainProfile));
}

void NotaryTool::staple(const std::filesystem::path& file) {
  CoreCommand::run(xcrunPath, {"stapler", "staple", file.string()}, toolTimeout);
}

std::string NotaryTool::validateStaple(const std::filesystem::path& file) {
  return CoreCommand::capture(xcrunPath, {"stapler", "validate", file.string()}, toolTimeout);
}

NotarizationStatus NotaryTool::statusOfDiskImage(const std::filesystem::path& file) {
  return classified(xcrunPath, {"stapler", "validate", file.string()});
}

NotarizationStatus NotaryTool::statusOfApp(const std::filesystem::path& file) {
  return classified(spctlPath, {"-a", "-vv", "--type", "execute", file.string()});
}

bool NotaryTool::looksNotarized(std::string_view output) {
  const std::string text = lowerCasedASCII(output);
  return (contains(text, "accepted") && contains(text, "source")) ||
         (contains(text, "notarized") && contains(text, "ticket")) ||
         contains(text, "validate action worked");
}

} // namespace halyard
