#include "core/PKG/PKGBuilderError.hpp"

#include <cstdio>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// The value as it can be shown on one line: control bytes become \xHH.
std::string visible(const std::string& value) {
  std::string result;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      result += escape;
    } else {
      result += c;
    }
  }
  return result;
}

} // namespace

PKGBuilderError::PKGBuilderError(Case errorCase, std::string name, std::string text,
                                 const std::string& message)
    : Error(domainName, static_cast<int>(errorCase), message), case_(errorCase),
      name_(std::move(name)), text_(std::move(text)) {}

PKGBuilderError PKGBuilderError::step(std::string name, const std::string& output) {
  std::string trimmed = text::trimmed(output);
  const std::string message = trimmed.empty() ? name + " failed." : name + " failed: " + trimmed;
  return PKGBuilderError(Case::step, std::move(name), std::move(trimmed), message);
}

PKGBuilderError PKGBuilderError::unsafeName(std::string what, std::string value) {
  const std::string message = "The " + what + " \"" + visible(value) +
                              "\" cannot name a file in the installer package: it is empty or "
                              "holds \"/\", \"..\" or control characters.";
  return PKGBuilderError(Case::unsafeName, std::move(what), std::move(value), message);
}

} // namespace halyard
