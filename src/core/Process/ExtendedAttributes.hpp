#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// The platform's extended-attribute tool, xattr: the one place that spells its command lines and
// reads its hexadecimal form.
struct ExtendedAttributes {
  // `xattr -p NAME FILE`: the attribute's value as text, without the line feed the tool ends it
  // with; none when the file has no such attribute or the tool fails.
  static std::optional<std::string> read(const std::filesystem::path& file, const std::string& name,
                                         const ToolRun& run);

  // `xattr -px NAME FILE`: the attribute's bytes; none when the file has no such attribute, the
  // tool fails or its answer is not hexadecimal text.
  static std::optional<std::string> readBytes(const std::filesystem::path& file,
                                              const std::string& name, const ToolRun& run);

  // `xattr -wx NAME HEX FILE`: sets the attribute to `bytes`.
  static ToolProcessResult writeBytes(const std::filesystem::path& file, const std::string& name,
                                      std::string_view bytes, const ToolRun& run);

  // `xattr -cr FOLDER`: removes every attribute of the folder and of everything in it.
  static ToolProcessResult clearRecursively(const std::filesystem::path& folder,
                                            const ToolRun& run);

  // Hexadecimal text as `xattr -x` reads and prints it: upper-case pairs separated by spaces; read
  // back with any white space between pairs. None when the text is not such pairs.
  static std::string hexText(std::string_view bytes);
  static std::optional<std::string> bytesOfHexText(std::string_view text);
};

} // namespace halyard
