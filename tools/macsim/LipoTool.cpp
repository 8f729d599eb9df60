#include "MachOFile.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>

namespace macsim {

namespace {

constexpr const char* self = "/usr/bin/lipo";

} // namespace

int runLipo(const ToolContext& context) {
  std::string operation;
  std::vector<std::string> files;
  for (const auto& argument : context.arguments) {
    if (argument == "-archs" || argument == "-info" || argument == "-detailed_info") {
      operation = argument;
    } else if (!argument.empty() && argument[0] == '-') {
      throw ToolFailure(std::string("fatal error: ") + self + ": unknown flag: " + argument, 1);
    } else {
      files.push_back(argument);
    }
  }
  if (operation.empty() || files.empty())
    throw ToolFailure(std::string("fatal error: ") + self +
                          ": one of -create, -thin <arch_type>, -extract <arch_type>, -remove "
                          "<arch_type>, -replace <arch_type> <file_name>, -verify_arch "
                          "<arch_type> ... , -archs, -info, or -detailed_info must be "
                          "specified",
                      1);
  std::string text;
  for (const auto& file : files) {
    if (!std::filesystem::is_regular_file(file))
      throw ToolFailure(std::string("fatal error: ") + self + ": can't open input file: " + file +
                        " (No such file or directory)");
    const auto header = MachOFile::read(file);
    if (!header)
      throw ToolFailure(std::string("fatal error: ") + self +
                        ": can't figure out the architecture type of: " + file);
    std::string names;
    for (const auto& slice : header->slices)
      names += (names.empty() ? "" : " ") + slice.architecture;
    if (operation == "-archs") {
      text += names + "\n";
    } else if (header->universal) {
      text += "Architectures in the fat file: " + file + " are: " + names + " \n";
    } else {
      text += "Non-fat file: " + file + " is architecture: " + names + "\n";
    }
  }
  Output::out(text);
  return 0;
}

} // namespace macsim
