#include "Dispatcher.hpp"

#include "Knobs.hpp"
#include "MacsimCommand.hpp"
#include "Output.hpp"
#include "StandInRoot.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <exception>
#include <functional>
#include <map>

namespace macsim {

namespace {

using Entry = int (*)(const ToolContext&);

const std::map<std::string, Entry>& table() {
  static const std::map<std::string, Entry> tools = {
      {"codesign", runCodesign},
      {"security", runSecurity},
      {"spctl", runSpctl},
      {"xcrun", runXcrun},
      {"notarytool", runNotarytool},
      {"stapler", runStapler},
      {"ditto", runDitto},
      {"xattr", runXattr},
      {"shasum", runShasum},
      {"lipo", runLipo},
      {"hdiutil", runHdiutil},
      {"diskutil", runDiskutil},
      {"pkgutil", runPkgutil},
      {"pkgbuild", runPkgbuild},
      {"productbuild", runProductbuild},
      {"productsign", runProductsign},
      {"osascript", runOsascript},
      {"sysctl", runSysctl},
  };
  return tools;
}

int guarded(const std::string& name, const std::function<int()>& body) {
  try {
    return body();
  } catch (const ToolFailure& failure) {
    if (*failure.what() != '\0') Output::errLine(failure.what());
    return failure.status();
  } catch (const std::exception& error) {
    Output::errLine(name + ": " + error.what());
    return 1;
  }
}

} // namespace

bool Dispatcher::isTool(const std::string& name) {
  return table().count(name) != 0;
}

int Dispatcher::runTool(const ToolContext& context) {
  return guarded(context.tool, [&] {
    if (auto status = Knobs::apply(context.tool, context.arguments)) return *status;
    return table().at(context.tool)(context);
  });
}

int Dispatcher::main(const std::string& invokedAs, const std::vector<std::string>& arguments) {
  const auto slash = invokedAs.find_last_of('/');
  const std::string name = slash == std::string::npos ? invokedAs : invokedAs.substr(slash + 1);
  if (!isTool(name)) return guarded("macsim", [&] { return MacsimCommand::run(arguments); });
  return guarded(name, [&] {
    ToolContext context{name, arguments, StandInRoot::locate(invokedAs)};
    return runTool(context);
  });
}

} // namespace macsim
