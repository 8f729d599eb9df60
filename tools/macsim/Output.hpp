#pragma once

#include <string_view>

namespace macsim {

// The stand-ins write unbuffered, straight to the descriptors, so that the order of lines on
// the two streams is the order in which they were written.
struct Output {
  static void out(std::string_view text);
  static void err(std::string_view text);
  // The text followed by a line feed.
  static void outLine(std::string_view text);
  static void errLine(std::string_view text);
};

} // namespace macsim
