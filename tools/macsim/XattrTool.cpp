#include "ExtendedAttributes.hpp"
#include "Files.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText = "usage: xattr [-slz] file [file ...]\n"
                                  "       xattr -p [-slz] attr_name file [file ...]\n"
                                  "       xattr -w [-sz] attr_name attr_value file [file ...]\n"
                                  "       xattr -d [-s] attr_name file [file ...]\n"
                                  "       xattr -c [-s] file [file ...]";

// `-x`: values are read and printed as hexadecimal bytes. Printed: upper-case pairs separated by
// spaces, sixteen to a line; read: pairs with any white space between them.
std::string hexLines(const std::string& bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += i % 16 == 0 ? '\n' : ' ';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

std::optional<std::string> fromHex(const std::string& text) {
  std::string digits;
  for (const char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
  if (digits.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    const std::string pair = digits.substr(i, 2);
    if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1])))
      return std::nullopt;
    bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
  }
  return bytes;
}

std::vector<fs::path> targets(const fs::path& path, bool recursive) {
  std::vector<fs::path> result = {path};
  if (recursive && fs::is_directory(fs::symlink_status(path)))
    for (const auto& relative : Files::walk(path))
      result.push_back(path / relative);
  return result;
}

} // namespace

int runXattr(const ToolContext& context) {
  char mode = 'l';
  bool recursive = false, longForm = false, hex = false;
  std::vector<std::string> operands;
  for (const auto& argument : context.arguments) {
    if (argument.size() > 1 && argument[0] == '-' && operands.empty()) {
      for (size_t k = 1; k < argument.size(); ++k) {
        const char letter = argument[k];
        if (letter == 'p' || letter == 'w' || letter == 'd' || letter == 'c')
          mode = letter;
        else if (letter == 'r')
          recursive = true;
        else if (letter == 'l')
          longForm = true;
        else if (letter == 'x')
          hex = true;
        else if (letter != 's' && letter != 'v' && letter != 'z')
          throw ToolFailure(std::string("xattr: illegal option -- ") + letter + "\n" + usageText,
                            2);
      }
    } else {
      operands.push_back(argument);
    }
  }
  size_t needed = mode == 'w' ? 3 : (mode == 'p' || mode == 'd') ? 2 : 1;
  if (operands.size() < needed) throw ToolFailure(usageText, 2);
  std::string name, value;
  size_t first = 0;
  if (mode == 'p' || mode == 'd' || mode == 'w') name = operands[first++];
  if (mode == 'w') value = operands[first++];
  if (mode == 'w' && hex) {
    const auto bytes = fromHex(value);
    if (!bytes) throw ToolFailure("xattr: [Errno 22] Invalid argument: '" + value + "'", 1);
    value = *bytes;
  }

  int status = 0;
  const bool several = operands.size() - first > 1 || recursive;
  for (size_t i = first; i < operands.size(); ++i) {
    const fs::path path = operands[i];
    if (!Files::exists(path)) {
      Output::errLine("xattr: No such file: " + path.string());
      status = 1;
      continue;
    }
    for (const auto& item : targets(path, recursive)) {
      const std::string label = several ? item.string() + ": " : "";
      switch (mode) {
      case 'c':
        ExtendedAttributes::clear(item);
        break;
      case 'p': {
        auto text = ExtendedAttributes::value(item, name);
        if (!text) {
          Output::errLine("xattr: " + item.string() + ": No such xattr: " + name);
          status = 1;
        } else {
          Output::outLine(label + (hex ? hexLines(*text) : *text));
        }
        break;
      }
      case 'w':
        try {
          ExtendedAttributes::set(item, name, value);
        } catch (const std::system_error& error) {
          Output::errLine("xattr: [Errno " + std::to_string(error.code().value()) + "] " +
                          error.code().message() + ": '" + item.string() + "'");
          status = 1;
        }
        break;
      case 'd':
        try {
          ExtendedAttributes::remove(item, name);
        } catch (const std::system_error&) {
          if (!recursive) {
            Output::errLine("xattr: " + item.string() + ": No such xattr: " + name);
            status = 1;
          }
        }
        break;
      default:
        for (const auto& attribute : ExtendedAttributes::names(item)) {
          if (longForm)
            Output::outLine(label + attribute + ": " +
                            ExtendedAttributes::value(item, attribute).value_or(""));
          else
            Output::outLine(label + attribute);
        }
      }
    }
  }
  return status;
}

} // namespace macsim
