#include "core/PKG/PKGBuilderError.hpp"

#include "core/Support/Text.hpp"

namespace halyard {

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
  const std::string message = "The " + what + " \"" + text::printable(value) +
                              "\" cannot name a file in the installer package: it is empty or "
                              "holds \"/\", \"..\" or control characters.";
  return PKGBuilderError(Case::unsafeName, std::move(what), std::move(value), message);
}

} // namespace halyard
