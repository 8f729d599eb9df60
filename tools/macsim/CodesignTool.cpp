#include "Clock.hpp"
#include "CodeLayout.hpp"
#include "CodeSigner.hpp"
#include "CodeVerifier.hpp"
#include "Files.hpp"
#include "Keychain.hpp"
#include "Output.hpp"
#include "PropertyList.hpp"
#include "Requirement.hpp"
#include "SignatureStore.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <algorithm>
#include <sstream>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Usage: codesign -s identity [-fv*] [-o flags] [-r reqs] [-i ident] path ... # sign\n"
    "       codesign -v [-v*] [-R=<req string>|-R <req file path>] path|[+]pid ... # verify\n"
    "       codesign -d [options] path ... # display contents\n"
    "       codesign -h pid ... # display hosting paths";

struct Options {
  bool sign = false, verify = false, display = false, remove = false;
  std::string identity;
  bool force = false, deep = false, strict = false, xml = false;
  std::uint32_t optionFlags = 0;
  bool timestamp = false;
  bool preserveIdentifier = false, preserveEntitlements = false, preserveFlags = false;
  std::optional<std::string> entitlements, identifier, requirement;
  int verbosity = 0;
  std::vector<std::string> paths;
};

[[noreturn]] void usage(const std::string& problem = "") {
  throw ToolFailure((problem.empty() ? "" : "codesign: " + problem + "\n") + usageText, 2);
}

void applyOptionsList(Options& options, const std::string& list) {
  std::stringstream stream(list);
  std::string flag;
  while (std::getline(stream, flag, ',')) {
    const auto bit = CodeSignature::optionFlag(flag);
    if (!bit) usage("invalid option flag \"" + flag + "\"");
    options.optionFlags |= *bit;
  }
}

void applyPreserve(Options& options, const std::string& list) {
  std::stringstream stream(list);
  std::string item;
  while (std::getline(stream, item, ',')) {
    if (item == "identifier")
      options.preserveIdentifier = true;
    else if (item == "entitlements")
      options.preserveEntitlements = true;
    else if (item == "flags")
      options.preserveFlags = true;
    else if (item != "requirements" && item != "runtime" && item != "launch-constraints")
      usage("invalid preserve-metadata item \"" + item + "\"");
  }
}

Options parse(const std::vector<std::string>& arguments) {
  Options options;
  auto valueAfter = [&](size_t& i, const std::string& name) {
    if (i + 1 >= arguments.size()) usage("option requires an argument -- " + name);
    return arguments[++i];
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const std::optional<std::string> inlineValue =
        equals == std::string::npos ? std::nullopt
                                    : std::optional<std::string>(argument.substr(equals + 1));
    auto valueOf = [&](const std::string& shortName) {
      return inlineValue ? *inlineValue : valueAfter(i, shortName);
    };
    if (argument.rfind("--", 0) == 0) {
      if (name == "--sign") {
        options.sign = true;
        options.identity = valueOf("sign");
      } else if (name == "--force") {
        options.force = true;
      } else if (name == "--options") {
        applyOptionsList(options, valueOf("options"));
      } else if (name == "--timestamp") {
        options.timestamp = inlineValue.value_or("") != "none";
      } else if (name == "--preserve-metadata") {
        applyPreserve(options, valueOf("preserve-metadata"));
      } else if (name == "--entitlements") {
        options.entitlements = valueOf("entitlements");
      } else if (name == "--deep") {
        options.deep = true;
      } else if (name == "--verify") {
        options.verify = true;
      } else if (name == "--verbose") {
        options.verbosity = inlineValue ? std::atoi(inlineValue->c_str()) : options.verbosity + 1;
      } else if (name == "--display") {
        options.display = true;
      } else if (name == "--test-requirement") {
        options.requirement = valueOf("R");
      } else if (name == "--strict") {
        options.strict = true;
      } else if (name == "--no-strict") {
        options.strict = false;
      } else if (name == "--identifier") {
        options.identifier = valueOf("i");
      } else if (name == "--xml") {
        options.xml = true;
      } else if (name == "--remove-signature") {
        options.remove = true;
      } else if (name == "--keychain") {
        valueOf("keychain");
      } else if (name == "--all-architectures" || name == "--check-notarization" ||
                 name == "--der") {
      } else {
        usage("unrecognized option `" + argument + "'");
      }
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      for (size_t k = 1; k < argument.size(); ++k) {
        const char letter = argument[k];
        auto attached = [&](const std::string& shortName) {
          std::string rest = argument.substr(k + 1);
          k = argument.size();
          if (!rest.empty() && rest[0] == '=') rest.erase(0, 1);
          return rest.empty() ? valueAfter(i, shortName) : rest;
        };
        switch (letter) {
        case 'd':
          options.display = true;
          break;
        case 'v':
          if (!options.verify && !options.display && !options.sign)
            options.verify = true;
          else
            ++options.verbosity;
          break;
        case 'f':
          options.force = true;
          break;
        case 's':
          options.sign = true;
          options.identity = attached("s");
          break;
        case 'o':
          applyOptionsList(options, attached("o"));
          break;
        case 'R':
          options.requirement = attached("R");
          break;
        case 'i':
          options.identifier = attached("i");
          break;
        default:
          usage(std::string("invalid option -- ") + letter);
        }
      }
      continue;
    }
    options.paths.push_back(argument);
  }
  const int operations = options.sign + options.verify + options.display + options.remove;
  if (operations == 0 || options.paths.empty()) usage();
  return options;
}

std::string readEntitlements(const std::string& file) {
  std::string bytes;
  try {
    bytes = Files::read(file);
  } catch (const std::exception&) {
    throw ToolFailure(file + ": No such file or directory");
  }
  auto list = PropertyList::parse(bytes);
  if (!list.isDictionary())
    throw ToolFailure("Failed to parse entitlements: AMFIUnserializeXML: syntax error near line 1");
  return list.xml();
}

int sign(const ToolContext& context, const Options& options) {
  SigningRequest request;
  if (options.identity != "-") {
    StateStore store(context.stateFolder());
    request.identity =
        Keychain(store).find(options.identity, Keychain::Purpose::codeSigning, "codesign");
  }
  request.force = options.force;
  request.optionFlags = options.optionFlags;
  request.timestamp = options.timestamp;
  request.preserveIdentifier = options.preserveIdentifier;
  request.preserveEntitlements = options.preserveEntitlements;
  request.preserveFlags = options.preserveFlags;
  request.identifier = options.identifier;
  request.deep = options.deep;
  if (options.entitlements) request.entitlements = readEntitlements(*options.entitlements);
  int status = 0;
  for (const auto& path : options.paths) {
    try {
      CodeSigner::sign(path, request, [](const std::string& line) { Output::errLine(line); });
      if (options.verbosity > 0) {
        const auto layout = CodeLayout::of(path);
        const auto stored = SignatureStore::read(layout);
        Output::errLine(path + ": signed " + layout.formatDescription() + " [" +
                        (stored ? stored->signature.identifier : "") + "]");
      }
    } catch (const ToolFailure& failure) {
      Output::errLine(failure.what());
      status = 1;
    }
  }
  return status;
}

int verify(const Options& options) {
  std::optional<Requirement> requirement;
  if (options.requirement) {
    std::string text = *options.requirement;
    if (!text.empty() && text[0] != '=' && fs::is_regular_file(text)) text = Files::read(text);
    std::string error;
    requirement = Requirement::parse(text, error);
    if (!requirement) throw ToolFailure("codesign: requirement syntax error(s):\n" + error, 2);
  }
  int status = 0;
  for (const auto& path : options.paths) {
    const auto result = CodeVerifier::verify(path, {options.deep, options.strict});
    if (options.verbosity >= 2)
      for (const auto& nested : result.nestedChecked)
        Output::err("--prepared:" + nested.string() + "\n--validated:" + nested.string() + "\n");
    if (!result.valid()) {
      std::string text = path + ": " + result.problem + "\n";
      for (const auto& line : result.details)
        text += line + "\n";
      Output::err(text);
      status = std::max(status, 1);
      continue;
    }
    if (options.verbosity >= 1) Output::errLine(path + ": valid on disk");
    if (requirement) {
      if (!requirement->isSatisfiedBy(*result.signature)) {
        Output::errLine("test-requirement: code failed to satisfy specified code requirement(s)");
        status = 3;
        continue;
      }
      if (options.verbosity >= 1) Output::errLine(path + ": explicit requirement satisfied");
    }
    if (options.verbosity >= 1) Output::errLine(path + ": satisfies its Designated Requirement");
  }
  return status;
}

std::string details(const std::string& path, const CodeLayout& layout,
                    const CodeSignature& signature, int verbosity) {
  std::string text;
  auto line = [&](const std::string& value) { text += value + "\n"; };
  line("Executable=" +
       (layout.mainExecutable ? Files::absolute(*layout.mainExecutable) : Files::absolute(path))
           .string());
  if (verbosity < 1) return text;
  line("Identifier=" + signature.identifier);
  line("Format=" + signature.format);
  const int hashes = layout.kind == CodeLayout::Kind::bundle ? 2 + signature.resourceCount : 1;
  line("CodeDirectory v=20500 size=" + std::to_string(400 + 32 * hashes) + " flags=" +
       signature.flagsText() + " hashes=" + std::to_string(hashes) + "+7 location=embedded");
  const std::string cdhash = signature.cdhash();
  if (verbosity >= 3) {
    line("Hash type=sha256 size=32");
    line("CandidateCDHash sha256=" + cdhash.substr(0, 40));
    if (verbosity >= 4) line("CandidateCDHashFull sha256=" + cdhash);
    line("Hash choices=sha256");
    line("CMSDigest=" + cdhash);
    line("CMSDigestType=2");
    line("CDHash=" + cdhash.substr(0, 40));
  }
  if (signature.isAdHoc()) {
    line("Signature=adhoc");
  } else {
    line("Signature size=" + std::to_string(8900 + signature.authority->size()));
    if (verbosity >= 2) {
      line("Authority=" + *signature.authority);
      const auto kind = signature.authority->substr(0, signature.authority->find(':'));
      if (kind.rfind("Developer ID", 0) == 0)
        line("Authority=Developer ID Certification Authority");
      else
        line("Authority=Apple Worldwide Developer Relations Certification Authority");
      line("Authority=Apple Root CA");
    }
    if (signature.timestamp)
      line("Timestamp=" + Clock::codesignDate(*signature.timestamp));
    else
      line("Signed Time=" + Clock::codesignDate(signature.signingTime));
  }
  if (layout.kind == CodeLayout::Kind::bundle)
    line("Info.plist entries=" + std::to_string(signature.infoEntries));
  else
    line("Info.plist=not bound");
  line("TeamIdentifier=" + signature.teamIdentifier.value_or("not set"));
  if (signature.runtime()) line("Runtime Version=15.5.0");
  if (layout.kind == CodeLayout::Kind::bundle)
    line("Sealed Resources version=2 rules=13 files=" + std::to_string(signature.resourceCount));
  else
    line("Sealed Resources=none");
  line("Internal requirements count=1 size=" + std::to_string(signature.isAdHoc() ? 12 : 180));
  return text;
}

int display(const Options& options) {
  int status = 0;
  for (const auto& path : options.paths) {
    const auto layout = CodeLayout::of(path);
    if (layout.kind == CodeLayout::Kind::missing) {
      Output::errLine(path + ": No such file or directory");
      status = 1;
      continue;
    }
    if (layout.kind == CodeLayout::Kind::folder) {
      Output::errLine(path + ": bundle format unrecognized, invalid, or unsuitable");
      status = 1;
      continue;
    }
    const auto stored = SignatureStore::read(layout);
    if (!stored) {
      Output::errLine(path + ": code object is not signed at all");
      status = 1;
      continue;
    }
    Output::err(details(path, layout, stored->signature, options.verbosity));
    if (options.entitlements) {
      const std::string entitlements = stored->signature.entitlements.value_or("");
      if (*options.entitlements == "-" || *options.entitlements == ":-")
        Output::out(entitlements);
      else
        Files::writeAtomically(*options.entitlements, entitlements);
    }
  }
  return status;
}

int removeSignature(const Options& options) {
  int status = 0;
  for (const auto& path : options.paths) {
    const auto layout = CodeLayout::of(path);
    if (layout.kind == CodeLayout::Kind::missing) {
      Output::errLine(path + ": No such file or directory");
      status = 1;
      continue;
    }
    SignatureStore::remove(layout);
  }
  return status;
}

} // namespace

int runCodesign(const ToolContext& context) {
  const Options options = parse(context.arguments);
  if (options.sign) return sign(context, options);
  if (options.remove) return removeSignature(options);
  if (options.verify) return verify(options);
  return display(options);
}

} // namespace macsim
