#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <openssl/evp.h>

namespace macsim {

namespace {

const EVP_MD* method(const std::string& algorithm) {
  if (algorithm == "1") return EVP_sha1();
  if (algorithm == "224") return EVP_sha224();
  if (algorithm == "256") return EVP_sha256();
  if (algorithm == "384") return EVP_sha384();
  if (algorithm == "512") return EVP_sha512();
  return nullptr;
}

std::string digestOf(std::FILE* stream, const EVP_MD* md) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), md, nullptr);
  std::array<char, 65536> buffer{};
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0)
    EVP_DigestUpdate(context.get(), buffer.data(), got);
  std::array<unsigned char, EVP_MAX_MD_SIZE> result{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), result.data(), &length);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", result[i]);
    hex += pair;
  }
  return hex;
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
  const EVP_MD* md = method(algorithm);
  if (md == nullptr) throw ToolFailure("shasum: Unrecognized algorithm", 1);
  if (files.empty()) files.push_back("-");
  int status = 0;
  for (const auto& file : files) {
    if (file == "-") {
      Output::outLine(digestOf(stdin, md) + "  -");
      continue;
    }
    std::FILE* stream =
        std::filesystem::is_directory(file) ? nullptr : std::fopen(file.c_str(), "rb");
    if (stream == nullptr) {
      Output::errLine("shasum: " + file + ": No such file or directory");
      status = 1;
      continue;
    }
    const std::string digest = digestOf(stream, md);
    std::fclose(stream);
    Output::outLine(digest + "  " + file);
  }
  return status;
}

} // namespace macsim
