#include "Output.hpp"
#include "SecureHash.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace macsim {

namespace {

std::optional<SecureHash::Algorithm> algorithmFor(const std::string& name) {
  if (name == "1") return SecureHash::Algorithm::sha1;
  if (name == "224") return SecureHash::Algorithm::sha224;
  if (name == "256") return SecureHash::Algorithm::sha256;
  if (name == "384") return SecureHash::Algorithm::sha384;
  if (name == "512") return SecureHash::Algorithm::sha512;
  return std::nullopt;
}

std::string digestOf(std::FILE* stream, SecureHash::Algorithm algorithm) {
  SecureHash hash(algorithm);
  std::array<char, 65536> buffer{};
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0)
    hash.update(std::string_view(buffer.data(), got));
  return hash.finalHex();
}

} // namespace

int runShasum(const ToolContext& context) {
  std::string algorithm = "1";
  std::vector<std::string> files;
  const auto& arguments = context.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-a" || argument == "--algorithm") {
      if (i + 1 >= arguments.size()) throw ToolFailure("shasum: option -a requires an argument", 1);
      algorithm = arguments[++i];
    } else if (argument.rfind("-a", 0) == 0 && argument.size() > 2) {
      algorithm = argument.substr(2);
    } else if (argument == "-b" || argument == "-t" || argument == "-p" || argument == "-U") {
    } else if (argument != "-" && argument.size() > 1 && argument[0] == '-') {
      throw ToolFailure("shasum: unknown option: " + argument.substr(1), 1);
    } else {
      files.push_back(argument);
    }
  }
  const auto chosen = algorithmFor(algorithm);
  if (!chosen) throw ToolFailure("shasum: Unrecognized algorithm", 1);
  if (files.empty()) files.push_back("-");
  int status = 0;
  for (const auto& file : files) {
    if (file == "-") {
      Output::outLine(digestOf(stdin, *chosen) + "  -");
      continue;
    }
    std::FILE* stream =
        std::filesystem::is_directory(file) ? nullptr : std::fopen(file.c_str(), "rb");
    if (stream == nullptr) {
      Output::errLine("shasum: " + file + ": No such file or directory");
      status = 1;
      continue;
    }
    const std::string digest = digestOf(stream, *chosen);
    std::fclose(stream);
    Output::outLine(digest + "  " + file);
  }
  return status;
}

} // namespace macsim
