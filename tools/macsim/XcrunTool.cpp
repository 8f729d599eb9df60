#include "Dispatcher.hpp"
#include "Output.hpp"
#include "StandInRoot.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>

namespace fs = std::filesystem;

namespace macsim {

namespace {

ToolFailure notFound(const std::string& tool) {
  return ToolFailure(
      "xcrun: error: unable to find utility \"" + tool + "\", not a developer tool or in PATH", 72);
}

fs::path locate(const ToolContext& context, const std::string& tool) {
  if (tool == "notarytool" || tool == "stapler")
    return StandInRoot::developerToolPath(context.root, tool);
  for (const auto& link : StandInRoot::links())
    if (link.tool == tool) return context.root / link.path;
  throw notFound(tool);
}

} // namespace

int runXcrun(const ToolContext& context) {
  const auto& arguments = context.arguments;
  size_t i = 0;
  while (i < arguments.size()) {
    const std::string& argument = arguments[i];
    if (argument == "--find" || argument == "-f" || argument == "-find") {
      if (i + 1 >= arguments.size()) throw ToolFailure("xcrun: error: missing argument", 64);
      Output::outLine(locate(context, arguments[i + 1]).string());
      return 0;
    }
    if (argument == "--sdk" || argument == "-sdk" || argument == "--toolchain" ||
        argument == "-toolchain") {
      i += 2;
      continue;
    }
    if (argument == "--show-sdk-path") {
      Output::outLine(
          (context.root / "Library/Developer/CommandLineTools/SDKs/MacOSX.sdk").string());
      return 0;
    }
    if (argument == "-v" || argument == "--verbose" || argument == "-l" || argument == "--log" ||
        argument == "-n" || argument == "--no-cache" || argument == "-r" || argument == "--run") {
      ++i;
      continue;
    }
    if (!argument.empty() && argument[0] == '-')
      throw ToolFailure("xcrun: error: unrecognized option: " + argument, 64);
    break;
  }
  if (i >= arguments.size())
    throw ToolFailure("Usage: xcrun [options] <tool name> ... arguments ...", 64);
  const std::string tool = arguments[i];
  if (!Dispatcher::isTool(tool) || tool == "xcrun") throw notFound(tool);
  ToolContext inner{
      tool, {arguments.begin() + static_cast<long>(i) + 1, arguments.end()}, context.root};
  return Dispatcher::runTool(inner);
}

} // namespace macsim
