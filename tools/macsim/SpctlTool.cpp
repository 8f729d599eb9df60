#include "Gatekeeper.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>

namespace macsim {

namespace {

constexpr const char* usageText = "System Policy Basic Usage:\n"
                                  "       spctl --assess [--type type] [-v] path ... # assessment\n"
                                  "       spctl --status # query global policy\n"
                                  "       spctl --global-enable # enable global policy\n"
                                  "       spctl --global-disable # disable global policy";

} // namespace

int runSpctl(const ToolContext& context) {
  bool assess = false;
  int verbosity = 0;
  std::string type = "execute";
  bool primarySignature = false;
  std::vector<std::string> paths;
  const auto& arguments = context.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() {
      if (i + 1 >= arguments.size()) throw ToolFailure(usageText, 2);
      return arguments[++i];
    };
    if (argument == "--assess" || argument == "-a") {
      assess = true;
    } else if (argument == "--status") {
      Output::outLine("assessments enabled");
      return 0;
    } else if (argument == "--verbose") {
      ++verbosity;
    } else if (argument == "--type" || argument == "-t") {
      type = value();
    } else if (argument == "--context") {
      primarySignature = value() == "context:primary-signature";
    } else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-') {
      for (size_t k = 1; k < argument.size(); ++k) {
        if (argument[k] == 'v')
          ++verbosity;
        else if (argument[k] == 'a')
          assess = true;
        else
          throw ToolFailure(usageText, 2);
      }
    } else if (argument.rfind("--", 0) == 0) {
      throw ToolFailure(usageText, 2);
    } else {
      paths.push_back(argument);
    }
  }
  if (!assess || paths.empty()) throw ToolFailure(usageText, 2);
  Gatekeeper::Type kind;
  if (type == "execute" || type == "exec")
    kind = Gatekeeper::Type::execute;
  else if (type == "open")
    kind = Gatekeeper::Type::open;
  else if (type == "install")
    kind = Gatekeeper::Type::install;
  else
    throw ToolFailure("spctl: invalid type \"" + type + "\"", 2);

  StateStore store(context.stateFolder());
  int status = 0;
  for (const auto& path : paths) {
    if (!std::filesystem::exists(path)) {
      Output::errLine(path + ": No such file or directory");
      status = std::max(status, 1);
      continue;
    }
    const auto assessment = Gatekeeper::assess(store, path, kind, primarySignature);
    std::string text;
    if (assessment.problem) {
      text = path + ": " + *assessment.problem + "\n";
      status = 3;
    } else if (assessment.accepted) {
      if (verbosity >= 1) text = path + ": accepted\n";
    } else {
      text = path + ": rejected" + (assessment.note.empty() ? "" : " " + assessment.note) + "\n";
      status = 3;
    }
    if (!assessment.problem && verbosity >= 1) {
      if (!assessment.source.empty()) text += "source=" + assessment.source + "\n";
      if (verbosity >= 2 && assessment.origin) text += "origin=" + *assessment.origin + "\n";
    }
    Output::err(text);
  }
  return status;
}

} // namespace macsim
