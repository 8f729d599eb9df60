#include "MacsimCommand.hpp"

#include "ArgumentCursor.hpp"
#include "Files.hpp"
#include "Keychain.hpp"
#include "Knobs.hpp"
#include "MachOFile.hpp"
#include "Output.hpp"
#include "StandInRoot.hpp"
#include "ToolFailure.hpp"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usage =
    "usage: macsim init|identity|profile|machO|help ... (see `macsim help`)";

fs::path executablePath() {
  std::error_code error;
  auto path = fs::read_symlink("/proc/self/exe", error);
  if (error) throw ToolFailure("macsim: cannot tell where this executable lives");
  return path;
}

// --root ROOT anywhere in the arguments, else BOSUN_TOOL_ROOT.
fs::path rootFrom(std::vector<std::string>& arguments) {
  for (size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "--root") {
      fs::path root = Files::absolute(arguments[i + 1]);
      arguments.erase(arguments.begin() + static_cast<long>(i),
                      arguments.begin() + static_cast<long>(i) + 2);
      return root;
    }
  }
  if (auto root = Knobs::value("BOSUN_TOOL_ROOT")) return Files::absolute(*root);
  throw ToolFailure("macsim: give --root ROOT or set BOSUN_TOOL_ROOT");
}

void requireRoot(const fs::path& root) {
  if (!fs::is_directory(root / "var" / "macsim"))
    throw ToolFailure("macsim: " + root.string() + " is not a stand-in root (run `macsim init`)");
}

int init(ArgumentCursor cursor) {
  std::optional<std::string> root;
  std::string version = "15.5";
  while (!cursor.atEnd()) {
    const std::string argument = cursor.next();
    if (argument == "--macos") {
      auto value = cursor.value();
      if (!value) throw ToolFailure("macsim init: --macos needs a version", 2);
      version = *value;
    } else if (!root) {
      root = argument;
    } else {
      throw ToolFailure(usage, 2);
    }
  }
  if (!root) throw ToolFailure("usage: macsim init ROOT [--macos VERSION]", 2);
  const fs::path path = Files::absolute(*root);
  StandInRoot::initialize(path, version, executablePath());
  Output::outLine("Stand-in root ready at " + path.string() + " (macOS " + version + ")");
  return 0;
}

int identity(std::vector<std::string> arguments) {
  const fs::path root = rootFrom(arguments);
  requireRoot(root);
  StateStore store(root / "var" / "macsim");
  Keychain keychain(store);
  ArgumentCursor cursor(arguments);
  const std::string verb = cursor.atEnd() ? "" : cursor.next();
  if (verb == "add") {
    std::optional<std::string> name, team, hash;
    bool expired = false;
    while (!cursor.atEnd()) {
      const std::string argument = cursor.next();
      if (argument == "--team")
        team = cursor.value();
      else if (argument == "--hash")
        hash = cursor.value();
      else if (argument == "--expired")
        expired = true;
      else if (!name)
        name = argument;
      else
        throw ToolFailure("usage: macsim identity add NAME [--team ID] [--hash HEX] [--expired]",
                          2);
    }
    if (!name || name->empty())
      throw ToolFailure("usage: macsim identity add NAME [--team ID] [--hash HEX] [--expired]", 2);
    if (hash && (hash->size() != 40 ||
                 hash->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos))
      throw ToolFailure("macsim identity add: --hash takes 40 hexadecimal digits", 2);
    const auto added = keychain.addIdentity(*name, team, hash, expired);
    Output::outLine(added.hash + " \"" + added.name + "\"");
    return 0;
  }
  if (verb == "remove" && !cursor.atEnd()) {
    const std::string which = cursor.next();
    if (keychain.removeIdentity(which) == 0)
      throw ToolFailure("macsim identity remove: no identity \"" + which + "\"");
    return 0;
  }
  if (verb == "list") {
    for (const auto& item : keychain.identities())
      Output::outLine(item.hash + " \"" + item.name + "\" team=" + item.teamIdentifier +
                      (item.isExpired() ? " (expired)" : ""));
    return 0;
  }
  throw ToolFailure("usage: macsim identity add|remove|list ...", 2);
}

int profile(std::vector<std::string> arguments) {
  const fs::path root = rootFrom(arguments);
  requireRoot(root);
  StateStore store(root / "var" / "macsim");
  Keychain keychain(store);
  ArgumentCursor cursor(arguments);
  const std::string verb = cursor.atEnd() ? "" : cursor.next();
  if (verb == "add") {
    NotaryProfile profile;
    while (!cursor.atEnd()) {
      const std::string argument = cursor.next();
      if (argument == "--apple-id")
        profile.appleID = cursor.value().value_or("");
      else if (argument == "--team-id")
        profile.teamID = cursor.value().value_or("");
      else if (profile.name.empty())
        profile.name = argument;
      else
        throw ToolFailure("usage: macsim profile add NAME [--apple-id EMAIL] [--team-id ID]", 2);
    }
    if (profile.name.empty())
      throw ToolFailure("usage: macsim profile add NAME [--apple-id EMAIL] [--team-id ID]", 2);
    if (profile.appleID.empty()) profile.appleID = "developer@example.com";
    if (profile.teamID.empty()) profile.teamID = "A1B2C3D4E5";
    keychain.addProfile(profile);
    return 0;
  }
  if (verb == "remove" && !cursor.atEnd()) {
    const std::string name = cursor.next();
    if (!keychain.removeProfile(name))
      throw ToolFailure("macsim profile remove: no profile \"" + name + "\"");
    return 0;
  }
  if (verb == "list") {
    for (const auto& item : keychain.profiles())
      Output::outLine(item.name + " apple-id=" + item.appleID + " team-id=" + item.teamID);
    return 0;
  }
  throw ToolFailure("usage: macsim profile add|remove|list ...", 2);
}

int machO(ArgumentCursor cursor) {
  std::vector<std::string> architectures;
  std::uint32_t type = MachOFile::execute;
  std::optional<std::string> output;
  while (!cursor.atEnd()) {
    const std::string argument = cursor.next();
    if (argument == "--arch" || argument == "-arch") {
      auto value = cursor.value();
      if (!value) throw ToolFailure("macsim machO: --arch needs a name", 2);
      architectures.push_back(*value);
    } else if (argument == "--type") {
      const auto value = cursor.value().value_or("");
      if (value == "execute")
        type = MachOFile::execute;
      else if (value == "dylib")
        type = MachOFile::dylib;
      else if (value == "bundle")
        type = MachOFile::bundle;
      else
        throw ToolFailure("macsim machO: --type is execute, dylib or bundle", 2);
    } else if (!output) {
      output = argument;
    } else {
      throw ToolFailure("usage: macsim machO --arch ARCH [--arch ARCH ...] [--type TYPE] OUT", 2);
    }
  }
  if (!output)
    throw ToolFailure("usage: macsim machO --arch ARCH [--arch ARCH ...] [--type TYPE] OUT", 2);
  if (architectures.empty()) architectures = {"x86_64", "arm64"};
  std::string bytes;
  try {
    bytes = MachOFile::make(architectures, type);
  } catch (const std::invalid_argument& error) {
    throw ToolFailure(std::string("macsim machO: unknown architecture ") + error.what(), 2);
  }
  const fs::path path = Files::absolute(*output);
  if (!path.parent_path().empty()) fs::create_directories(path.parent_path());
  Files::writeAtomically(path, bytes);
  ::chmod(path.c_str(), type == MachOFile::dylib ? 0644 : 0755);
  return 0;
}

} // namespace

int MacsimCommand::run(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw ToolFailure(usage, 2);
  const std::string& command = arguments.front();
  std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (command == "init") return init(ArgumentCursor(rest));
  if (command == "identity") return identity(rest);
  if (command == "profile") return profile(rest);
  if (command == "machO" || command == "macho") return machO(ArgumentCursor(rest));
  if (command == "help" || command == "--help" || command == "-h") {
    Output::out(helpText());
    return 0;
  }
  throw ToolFailure("macsim: unknown command \"" + command + "\"\n" + usage, 2);
}

} // namespace macsim
