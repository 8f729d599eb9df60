#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halyard {

// An sRGB colour with components from 0 to 255.
struct TextColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const TextColor&) const = default;
};

// The attributes of one run of text. An absent font family, size or colour means "not set by the
// document": the formatter gives such runs the system font at 12 points and black.
struct TextAttributes {
  std::optional<std::string> fontFamily; // a family name; the system font when none
  std::optional<double> fontSize;        // points
  bool bold = false;
  bool italic = false;
  bool underline = false;
  std::optional<TextColor> color;

  bool operator==(const TextAttributes&) const = default;
};

// A run: UTF-8 text with one set of attributes.
struct TextRun {
  std::string text;
  TextAttributes attributes;

  bool operator==(const TextRun&) const = default;
};

// Styled text: a UTF-8 string split into attribute runs. Readers of license documents produce
// it; the formatter composes, flattens and writes it as RTF.
struct StyledText {
  std::vector<TextRun> runs;

  // Appends a run, merging it into the last one when the attributes are equal; empty text is
  // not appended.
  void append(std::string text, const TextAttributes& attributes = {}) {
    if (text.empty()) return;
    if (!runs.empty() && runs.back().attributes == attributes) {
      runs.back().text += text;
      return;
    }
    runs.push_back(TextRun{std::move(text), attributes});
  }
  void append(const StyledText& other) {
    for (const auto& run : other.runs)
      append(run.text, run.attributes);
  }

  // The plain string: every run's text in order.
  std::string string() const {
    std::string result;
    for (const auto& run : runs)
      result += run.text;
    return result;
  }

  bool operator==(const StyledText&) const = default;
};

} // namespace halyard
