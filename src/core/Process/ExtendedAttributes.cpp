#include "core/Process/ExtendedAttributes.hpp"

#include "core/Process/AppleTools.hpp"
#include "core/Support/ToolOutputText.hpp"

namespace halyard {

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

std::optional<std::string> ExtendedAttributes::read(const std::filesystem::path& file,
                                                    const std::string& name, const ToolRun& run) {
  auto result = run(AppleTools::xattr, {"-p", name, file.string()});
  if (!result.succeeded()) return std::nullopt;
  std::string value = std::move(result.standardOutput);
  if (value.ends_with('\n')) value.pop_back();
  return value;
}

std::optional<std::string> ExtendedAttributes::readBytes(const std::filesystem::path& file,
                                                         const std::string& name,
                                                         const ToolRun& run) {
  const auto result = run(AppleTools::xattr, {"-px", name, file.string()});
  if (!result.succeeded()) return std::nullopt;
  return bytesOfHexText(result.standardOutput);
}

ToolProcessResult ExtendedAttributes::writeBytes(const std::filesystem::path& file,
                                                 const std::string& name, std::string_view bytes,
                                                 const ToolRun& run) {
  return run(AppleTools::xattr, {"-wx", name, hexText(bytes), file.string()});
}

ToolProcessResult ExtendedAttributes::clearRecursively(const std::filesystem::path& folder,
                                                       const ToolRun& run) {
  return run(AppleTools::xattr, {"-cr", folder.string()});
}

std::string ExtendedAttributes::hexText(std::string_view bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string result;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) result += ' ';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    result += digits[byte >> 4];
    result += digits[byte & 0x0F];
  }
  return result;
}

std::optional<std::string> ExtendedAttributes::bytesOfHexText(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (const char c : text) {
    if (isSpace(c)) {
      if (high >= 0) return std::nullopt; // a pair is never split
      continue;
    }
    const int digit = text::hexDigitValue(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high << 4 | digit);
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

} // namespace halyard
