#include "Files.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace macsim {

namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Checks that tell, repeat, try and multi-line if blocks are closed in order, as the compiler
// would; returns the error line or an empty text.
std::string structureError(const std::string& source, const std::string& name) {
  std::vector<std::string> open;
  std::istringstream stream(source);
  std::string line;
  int number = 0;
  while (std::getline(stream, line)) {
    ++number;
    const std::string text = trimmed(line);
    if (text.empty() || text.rfind("--", 0) == 0) continue;
    auto startsWith = [&](const char* word) {
      const std::string prefix(word);
      return text.rfind(prefix, 0) == 0 &&
             (text.size() == prefix.size() || text[prefix.size()] == ' ');
    };
    if (startsWith("end")) {
      std::string kind = trimmed(text.substr(3));
      if (open.empty() || (!kind.empty() && kind != open.back()))
        return name + ":" + std::to_string(number) + ": syntax error: Expected end of line but " +
               "found \"end\". (-2741)";
      open.pop_back();
    } else if (startsWith("tell") && text.find(" to ") == std::string::npos) {
      open.push_back("tell");
    } else if (startsWith("repeat")) {
      open.push_back("repeat");
    } else if (text == "try") {
      open.push_back("try");
    } else if (startsWith("if") && text.size() >= 4 && text.substr(text.size() - 4) == "then") {
      open.push_back("if");
    }
  }
  if (!open.empty())
    return name + ":" + std::to_string(number) + ": syntax error: Expected \"end\" but found " +
           "end of script. (-2741)";
  return {};
}

} // namespace

int runOsascript(const ToolContext& context) {
  std::string source;
  std::string name = "-";
  const auto& arguments = context.arguments;
  bool inline_ = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "-e" && i + 1 < arguments.size()) {
      source += arguments[++i] + "\n";
      inline_ = true;
    } else if (arguments[i] == "-l" || arguments[i] == "-s") {
      ++i;
    } else if (!inline_) {
      name = arguments[i];
      try {
        source = Files::read(name);
      } catch (const std::exception&) {
        throw ToolFailure("osascript: " + name + ": No such file or directory");
      }
      break; // the rest are the script's own arguments
    }
  }
  if (source.empty() && !inline_)
    throw ToolFailure("usage: osascript [-l language] [-e script] [-i] [-s {ehso}] "
                      "[programfile] [argument ...]",
                      1);
  if (auto error = structureError(source, name); !error.empty()) throw ToolFailure(error, 1);
  // The Finder styling script waits for its disk and gives up with this result when it never
  // appears; the disks the Finder knows are the attached volumes.
  static const std::regex diskName("set diskName to \"([^\"]*)\"");
  std::smatch match;
  if (source.find("tell application \"Finder\"") != std::string::npos &&
      std::regex_search(source, match, diskName) &&
      !fs::is_directory(context.volumesFolder() / match[1].str()))
    Output::outLine("Error: Disk not found");
  return 0;
}

} // namespace macsim
