#pragma once

// A deliberately small RTF reader for checking what the product writes, independent of the
// product's own reader: it tokenizes by the RTF 1.9 grammar and interprets only what a license
// body needs (\par, \tab, \uN with \ucN fallbacks, \'hh in Windows-1252 for ASCII, \b, \i, \fsN,
// \cfN, \fN and the font and colour tables).

#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/UTF8Encoding.hpp"

namespace halyard::rtftest {

struct RTFTestRun {
  std::string text;
  bool bold = false;
  bool italic = false;
  int halfPoints = 24;
  std::string font;
  std::optional<std::uint32_t> rgb; // 0xRRGGBB; none for the automatic colour

  bool operator==(const RTFTestRun&) const = default;
};

using bosun::testing::appendUTF8;

// Runs of equal formatting, merged.
inline std::vector<RTFTestRun> readTestRTF(const std::string& rtf) {
  struct State {
    RTFTestRun format;
    int fontNumber = 0;
    int color = 0;
    std::string destination; // "", "fonttbl", "colortbl", "skip"
  };
  std::vector<State> stack;
  State state;
  std::map<int, std::string> fonts;
  std::vector<std::optional<std::uint32_t>> colors;
  std::uint32_t red = 0, green = 0, blue = 0;
  bool colorSeen = false;
  int currentFont = 0;
  std::string fontName;
  std::vector<RTFTestRun> runs;
  std::uint32_t high = 0; // a pending high surrogate, 0 when none
  int skip = 0;

  auto emit = [&](const std::string& text) {
    if (state.destination == "fonttbl") {
      for (char c : text) {
        if (c == ';') {
          fonts[currentFont] = fontName;
          fontName.clear();
        } else if (c != ' ' || !fontName.empty()) {
          fontName += c;
        }
      }
      return;
    }
    if (state.destination == "colortbl") {
      for (char c : text)
        if (c == ';') {
          colors.push_back(colorSeen
                               ? std::optional<std::uint32_t>((red << 16) | (green << 8) | blue)
                               : std::nullopt);
          red = green = blue = 0;
          colorSeen = false;
        }
      return;
    }
    if (!state.destination.empty()) return;
    auto format = state.format;
    format.font = fonts.count(state.fontNumber) ? fonts[state.fontNumber] : "";
    format.rgb = state.color < static_cast<int>(colors.size()) ? colors[state.color] : std::nullopt;
    format.text.clear();
    if (runs.empty() ||
        !(RTFTestRun{"", runs.back().bold, runs.back().italic, runs.back().halfPoints,
                     runs.back().font, runs.back().rgb} == format))
      runs.push_back(format);
    runs.back().text += text;
  };

  std::size_t i = 0;
  while (i < rtf.size()) {
    const char c = rtf[i++];
    if (c == '{') {
      stack.push_back(state);
      skip = 0;
    } else if (c == '}') {
      if (stack.empty()) break;
      state = stack.back();
      stack.pop_back();
    } else if (c == '\\') {
      if (std::isalpha(static_cast<unsigned char>(rtf[i]))) {
        std::string word;
        while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i])))
          word += rtf[i++];
        std::string digits;
        if (rtf[i] == '-') digits += rtf[i++];
        while (i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i])))
          digits += rtf[i++];
        if (rtf[i] == ' ') ++i;
        const bool hasParameter = !digits.empty();
        const int parameter = hasParameter ? std::stoi(digits) : 1;
        if (word == "u") {
          std::uint32_t unit = static_cast<std::uint16_t>(static_cast<std::int16_t>(parameter));
          skip = 1;
          if (unit >= 0xD800 && unit < 0xDC00) {
            high = unit;
          } else {
            std::string out;
            appendUTF8(out, high != 0 ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : unit);
            high = 0;
            emit(out);
          }
          continue;
        }
        if (word == "fonttbl" || word == "colortbl")
          state.destination = word;
        else if (word == "par")
          emit("\n");
        else if (word == "tab")
          emit("\t");
        else if (word == "b")
          state.format.bold = parameter != 0;
        else if (word == "i")
          state.format.italic = parameter != 0;
        else if (word == "fs")
          state.format.halfPoints = parameter;
        else if (word == "cf")
          state.color = parameter;
        else if (word == "f" && state.destination == "fonttbl")
          currentFont = parameter;
        else if (word == "f")
          state.fontNumber = parameter;
        else if (word == "red")
          red = parameter, colorSeen = true;
        else if (word == "green")
          green = parameter, colorSeen = true;
        else if (word == "blue")
          blue = parameter, colorSeen = true;
      } else {
        const char symbol = rtf[i++];
        if (skip > 0) {
          --skip;
          if (symbol == '\'') i += 2;
          continue;
        }
        if (symbol == '*')
          state.destination = "skip";
        else if (symbol == '\'') {
          std::string out;
          appendUTF8(out, static_cast<std::uint32_t>(std::stoi(rtf.substr(i, 2), nullptr, 16)));
          i += 2;
          emit(out);
        } else if (symbol == '\\' || symbol == '{' || symbol == '}') {
          emit(std::string(1, symbol));
        }
      }
    } else if (c != '\r' && c != '\n') {
      if (skip > 0) {
        --skip;
        continue;
      }
      emit(std::string(1, c));
    }
  }
  return runs;
}

inline std::string plainTestRTF(const std::string& rtf) {
  std::string text;
  for (const auto& run : readTestRTF(rtf))
    text += run.text;
  return text;
}

} // namespace halyard::rtftest
