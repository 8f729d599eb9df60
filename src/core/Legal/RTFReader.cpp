#include "core/Legal/RTFReader.hpp"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/Legal/RTFWriter.hpp"
#include "core/Legal/TextEncoding.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

enum class Destination { text, listText, fontTable, colorTable, skipped };

// Which character set the text that follows is written in: \loch and \hich (single-byte),
// \dbch (double-byte, East Asian), or right-to-left text after \rtlch.
enum class CharacterClass { single, doubleByte, rightToLeft };

// The associated properties (\ab, \ai, \afs) of one character class; each is absent until set.
struct AssociatedProperties {
  std::optional<bool> bold;
  std::optional<bool> italic;
  std::optional<int> halfPoints;

  bool operator==(const AssociatedProperties&) const = default;
};

// The character state of one group; a group starts with its parent's.
struct GroupState {
  Destination destination = Destination::text;
  // After "\*": the destination the group had before, in case the next word names one that
  // is read after all.
  std::optional<Destination> beforeIgnorable;
  int font = -1;
  std::optional<int> halfPoints;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int color = 0;
  // Text deleted with change tracking on: not part of what a reader sees.
  bool deleted = false;
  int skipAfterUnicode = 1;
  // The class that associated properties name (set by \rtlch, \dbch, \loch, \hich) and the
  // class of the text that follows (\loch, \hich, \dbch, with \rtlch/\ltrch for direction).
  CharacterClass associating = CharacterClass::single;
  CharacterClass runClass = CharacterClass::single;
  bool rightToLeft = false;
  AssociatedProperties doubleByte;
  AssociatedProperties complexScript;

  bool sameCharacterFormat(const GroupState& other) const {
    return font == other.font && halfPoints == other.halfPoints && bold == other.bold &&
           italic == other.italic && underline == other.underline && color == other.color &&
           runClass == other.runClass && rightToLeft == other.rightToLeft &&
           doubleByte == other.doubleByte && complexScript == other.complexScript;
  }

  // The associated properties that apply to the text that follows, if any.
  const AssociatedProperties* textAssociated() const {
    if (rightToLeft) return &complexScript;
    if (runClass == CharacterClass::doubleByte) return &doubleByte;
    return nullptr;
  }

  void resetCharacterFormat() {
    font = -1;
    halfPoints.reset();
    bold = italic = underline = deleted = false;
    color = 0;
    doubleByte = complexScript = AssociatedProperties{};
  }
};

// Destinations whose text is not part of the document.
bool isSkippedDestination(std::string_view word) {
  static constexpr std::string_view names[] = {"stylesheet",
                                               "info",
                                               "pict",
                                               "object",
                                               "header",
                                               "headerl",
                                               "headerr",
                                               "headerf",
                                               "footer",
                                               "footerl",
                                               "footerr",
                                               "footerf",
                                               "footnote",
                                               "fldinst",
                                               "xe",
                                               "tc",
                                               "annotation",
                                               "atnid",
                                               "atnauthor",
                                               "listtable",
                                               "listoverridetable",
                                               "revtbl",
                                               "rsidtbl",
                                               "generator",
                                               "themedata",
                                               "colorschememapping",
                                               "latentstyles",
                                               "datastore",
                                               "xmlnstbl",
                                               "filetbl",
                                               "pgdsctbl",
                                               "NeXTGraphic",
                                               "txe",
                                               "private",
                                               "bkmkstart",
                                               "bkmkend",
                                               "nonshppict",
                                               "shpinst",
                                               "template",
                                               "userprops"};
  return std::find(std::begin(names), std::end(names), word) != std::end(names);
}

// The code page of a font character set (\fcharsetN), 0 when the document's code page applies.
int codePageOfCharacterSet(int characterSet) {
  switch (characterSet) {
  case 77:
    return 10000;
  case 128:
    return 932;
  case 129:
    return 949;
  case 134:
    return 936;
  case 136:
    return 950;
  case 161:
    return 1253;
  case 162:
    return 1254;
  case 177:
    return 1255;
  case 178:
    return 1256;
  case 186:
    return 1257;
  case 204:
    return 1251;
  case 222:
    return 874;
  case 238:
    return 1250;
  default:
    return 0;
  }
}

std::string converterName(int codePage) {
  std::string name;
  switch (codePage) {
  case 10000:
    name = TextEncoding::macRoman;
    break;
  case 437:
    name = "ibm-437";
    break;
  case 850:
    name = "ibm-850";
    break;
  case 932:
    name = "windows-31j";
    break;
  case 936:
    name = "windows-936";
    break;
  case 949:
    name = "windows-949";
    break;
  case 950:
    name = "windows-950";
    break;
  default:
    name = "windows-" + std::to_string(codePage);
  }
  return name;
}

constexpr std::size_t maximumCodePages = 8;

bool isMultiByteCodePage(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// Bytes in a code page; what it does not define is read as Windows-1252, else Mac OS Roman.
std::string decodeCodePage(std::string_view bytes, int codePage) {
  if (auto decoded = TextEncoding::decode(bytes, converterName(codePage).c_str())) return *decoded;
  if (auto decoded = TextEncoding::decode(bytes, TextEncoding::windows1252)) return *decoded;
  return TextEncoding::decode(bytes, TextEncoding::macRoman).value_or("");
}

// The characters of a one-byte code page, each byte decoded on first use and kept for the rest
// of the document.
using ByteTable = std::array<std::optional<std::string>, 256>;

const std::string& decodedByte(ByteTable& table, unsigned char byte, int codePage) {
  auto& entry = table[byte];
  if (!entry) entry = decodeCodePage(std::string(1, static_cast<char>(byte)), codePage);
  return *entry;
}

void appendCodePoint(std::string& out, UChar32 codePoint) {
  char buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  UBool error = false;
  U8_APPEND(buffer, length, U8_MAX_LENGTH, codePoint, error);
  if (!error) out.append(buffer, static_cast<std::size_t>(length));
}

struct Font {
  std::string name;
  int codePage = 0;
};

class Parser {
public:
  explicit Parser(std::string_view input) : input_(input) {}

  std::optional<StyledText> run() {
    if (input_.substr(0, 5) != "{\\rtf") return std::nullopt;
    std::vector<GroupState> stack;
    GroupState state;
    while (position_ < input_.size()) {
      const char c = input_[position_++];
      switch (c) {
      case '{':
        flushBytes(state);
        if (stack.size() >= RTFReader::maximumDepth) return std::nullopt;
        stack.push_back(state);
        state.beforeIgnorable.reset();
        skipCount_ = 0;
        break;
      case '}':
        flushBytes(state);
        finishFontEntry(state);
        if (state.destination == Destination::listText && !stack.empty() &&
            stack.back().destination != Destination::listText)
          finishListText();
        if (stack.empty()) {
          position_ = input_.size();
          break;
        }
        state = stack.back();
        stack.pop_back();
        skipCount_ = 0;
        break;
      case '\\':
        controlWord(state);
        break;
      case '\r':
      case '\n':
        break;
      default:
        if (consumeSkippedCharacter()) break;
        if (static_cast<unsigned char>(c) >= 0x80) {
          pendingBytes_ += c;
        } else {
          flushBytes(state);
          // A stretch of plain ASCII goes in at once.
          auto end = position_;
          while (end < input_.size() && isPlainASCII(input_[end]))
            ++end;
          character(state, std::string(input_.substr(position_ - 1, end - position_ + 1)));
          position_ = end;
        }
      }
    }
    flushBytes(state);
    flushText();
    return std::move(result_);
  }

private:
  static bool isPlainASCII(char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != '\\' && c != '{' && c != '}' && c != '\r' &&
           c != '\n';
  }

  bool consumeSkippedCharacter() {
    if (skipCount_ == 0) return false;
    --skipCount_;
    return true;
  }

  void controlWord(GroupState& state) {
    if (position_ >= input_.size()) return;
    const char first = input_[position_];
    if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z'))) {
      ++position_;
      controlSymbol(state, first);
      return;
    }
    const auto start = position_;
    while (position_ < input_.size() && ((input_[position_] >= 'a' && input_[position_] <= 'z') ||
                                         (input_[position_] >= 'A' && input_[position_] <= 'Z')))
      ++position_;
    const auto word = input_.substr(start, position_ - start);
    std::optional<long> parameter;
    bool negative = false;
    if (position_ < input_.size() && input_[position_] == '-') {
      negative = true;
      ++position_;
    }
    long value = 0;
    int digits = 0;
    while (position_ < input_.size() && input_[position_] >= '0' && input_[position_] <= '9') {
      if (digits < 10) value = value * 10 + (input_[position_] - '0');
      ++digits;
      ++position_;
    }
    if (digits > 0) parameter = negative ? -value : value;
    if (position_ < input_.size() && input_[position_] == ' ') ++position_;
    if (word != "u" && word != "bin" && consumeSkippedCharacter()) return;
    if (word != "u") flushBytes(state);
    apply(state, word, parameter);
  }

  void controlSymbol(GroupState& state, char symbol) {
    if (symbol == '\'') {
      const auto hex = input_.substr(position_, 2);
      position_ = std::min(input_.size(), position_ + 2);
      if (consumeSkippedCharacter()) return;
      if (hex.size() == 2 && std::isxdigit(static_cast<unsigned char>(hex[0])) &&
          std::isxdigit(static_cast<unsigned char>(hex[1])))
        pendingBytes_ += static_cast<char>(std::stoi(std::string(hex), nullptr, 16));
      return;
    }
    if (consumeSkippedCharacter()) return;
    flushBytes(state);
    switch (symbol) {
    case '*':
      state.beforeIgnorable = state.destination;
      state.destination = Destination::skipped;
      break;
    case '\\':
      character(state, "\\");
      break;
    case '{':
      character(state, "{");
      break;
    case '}':
      character(state, "}");
      break;
    case '~':
      character(state, "\u00A0");
      break;
    case '_':
      character(state, "\u2011");
      break;
    case '\n':
    case '\r':
      character(state, "\n");
      break;
    case '\t':
      character(state, "\t");
      break;
    default:
      break; // \- (optional hyphen), \: and unknown symbols
    }
  }

  void apply(GroupState& state, std::string_view word, std::optional<long> parameter) {
    const long value = parameter.value_or(1);
    const auto number = static_cast<int>(std::clamp<long>(value, -1000000, 1000000));
    // A field's result is shown even where the writer marked its group as ignorable.
    if (const auto before = std::exchange(state.beforeIgnorable, std::nullopt);
        before && word == "fldrslt") {
      state.destination = *before;
      return;
    }
    if (state.destination == Destination::skipped) {
      if (word == "bin") position_ = std::min(input_.size(), position_ + std::max<long>(0, value));
    } else if (word == "fonttbl") {
      state.destination = Destination::fontTable;
    } else if (word == "colortbl") {
      state.destination = Destination::colorTable;
    } else if (word == "listtext" && state.destination == Destination::text) {
      state.destination = Destination::listText;
      startListText();
    } else if (isSkippedDestination(word)) {
      state.destination = Destination::skipped;
    } else if (word == "bin") {
      const auto length = static_cast<std::size_t>(std::max<long>(0, value));
      position_ = std::min(input_.size(), position_ + length);
    } else if (word == "ansicpg") {
      codePage_ = number;
    } else if (word == "mac") {
      codePage_ = 10000;
    } else if (word == "pc") {
      codePage_ = 437;
    } else if (word == "pca") {
      codePage_ = 850;
    } else if (word == "deff") {
      defaultFont_ = number;
    } else if (word == "uc") {
      state.skipAfterUnicode = std::clamp(number, 0, 16);
    } else if (word == "u") {
      unicode(state, number);
    } else if (state.destination == Destination::fontTable) {
      fontTableWord(state, word, number);
    } else if (state.destination == Destination::colorTable) {
      if (word == "red") color_.red = static_cast<std::uint8_t>(std::clamp(number, 0, 255));
      if (word == "green") color_.green = static_cast<std::uint8_t>(std::clamp(number, 0, 255));
      if (word == "blue") color_.blue = static_cast<std::uint8_t>(std::clamp(number, 0, 255));
      if (word == "red" || word == "green" || word == "blue") colorSet_ = true;
    } else {
      formatting(state, word, parameter, number);
    }
  }

  void formatting(GroupState& state, std::string_view word, std::optional<long> parameter,
                  int number) {
    static const std::map<std::string_view, const char*> characters = {
        {"par", "\n"},           {"line", "\n"},          {"sect", "\n"},
        {"page", "\n"},          {"row", "\n"},           {"tab", "\t"},
        {"cell", "\t"},          {"emdash", "\u2014"},    {"endash", "\u2013"},
        {"emspace", "\u2003"},   {"enspace", "\u2002"},   {"qmspace", "\u2005"},
        {"bullet", "\u2022"},    {"lquote", "\u2018"},    {"rquote", "\u2019"},
        {"ldblquote", "\u201C"}, {"rdblquote", "\u201D"}, {"zwj", "\u200D"},
        {"zwnj", "\u200C"}};
    if (const auto found = characters.find(word); found != characters.end()) {
      character(state, found->second);
    } else if (word == "plain") {
      state.resetCharacterFormat();
    } else if (word == "deleted") {
      state.deleted = !parameter || *parameter != 0;
    } else if (word == "loch" || word == "hich" || word == "dbch") {
      state.runClass = state.associating =
          word == "dbch" ? CharacterClass::doubleByte : CharacterClass::single;
    } else if (word == "rtlch" || word == "ltrch") {
      state.rightToLeft = word == "rtlch";
      if (state.rightToLeft) state.associating = CharacterClass::rightToLeft;
    } else if (word == "ab" || word == "ai" || word == "afs") {
      associated(state, word, parameter, number);
    } else if (word == "b") {
      state.bold = !parameter || *parameter != 0;
    } else if (word == "i") {
      state.italic = !parameter || *parameter != 0;
    } else if (word == "ulnone") {
      state.underline = false;
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" || word == "ulth" ||
               word == "uldash" || word == "ulwave") {
      state.underline = !parameter || *parameter != 0;
    } else if (word == "f") {
      state.font = number;
    } else if (word == "fs") {
      if (parameter && *parameter > 0) state.halfPoints = std::min(number, 3276);
    } else if (word == "cf") {
      state.color = std::max(number, 0);
    }
  }

  // \ab, \ai and \afs set the bold, italic and size of East Asian text after \dbch and of
  // right-to-left text after \rtlch; after \loch or \hich they mean what \b, \i and \fs mean.
  static void associated(GroupState& state, std::string_view word, std::optional<long> parameter,
                         int number) {
    AssociatedProperties* properties = nullptr;
    if (state.associating == CharacterClass::doubleByte) properties = &state.doubleByte;
    if (state.associating == CharacterClass::rightToLeft) properties = &state.complexScript;
    if (properties == nullptr) return;
    if (word == "ab") properties->bold = !parameter || *parameter != 0;
    if (word == "ai") properties->italic = !parameter || *parameter != 0;
    if (word == "afs" && parameter && *parameter > 0)
      properties->halfPoints = std::min(number, 3276);
  }

  void fontTableWord(GroupState&, std::string_view word, int number) {
    if (word == "f") {
      fontNumber_ = number;
      fontName_.clear();
    } else if (word == "fcharset") {
      fonts_[fontNumber_].codePage = codePageOfCharacterSet(number);
    }
  }

  void finishFontEntry(const GroupState& state) {
    if (state.destination == Destination::fontTable && !fontName_.empty()) {
      fonts_[fontNumber_].name = text::trimmed(fontName_);
      fontName_.clear();
    }
  }

  void unicode(GroupState& state, int number) {
    auto unit = static_cast<char16_t>(number < 0 ? number + 65536 : number);
    skipCount_ = static_cast<std::size_t>(state.skipAfterUnicode);
    flushBytes(state);
    if (U16_IS_LEAD(unit)) {
      highSurrogate_ = unit;
      return;
    }
    std::string out;
    if (U16_IS_TRAIL(unit)) {
      if (highSurrogate_) appendCodePoint(out, U16_GET_SUPPLEMENTARY(*highSurrogate_, unit));
    } else {
      appendCodePoint(out, unit);
    }
    highSurrogate_.reset();
    if (!out.empty()) character(state, out);
  }

  // Plain characters and decoded bytes of the current destination.
  void character(GroupState& state, const std::string& text) {
    if (state.deleted &&
        (state.destination == Destination::text || state.destination == Destination::listText))
      return;
    switch (state.destination) {
    case Destination::listText:
    case Destination::text:
      if (!pending_.empty() && !pendingState_.sameCharacterFormat(state)) flushText();
      if (pending_.empty()) pendingState_ = state;
      pending_ += text;
      break;
    case Destination::fontTable:
      for (const char c : text) {
        if (c == ';') {
          fonts_[fontNumber_].name = text::trimmed(fontName_);
          fontName_.clear();
        } else {
          fontName_ += c;
        }
      }
      break;
    case Destination::colorTable:
      for (const char c : text) {
        if (c != ';') continue;
        colors_.push_back(colorSet_ ? std::optional<TextColor>(color_) : std::nullopt);
        color_ = TextColor{};
        colorSet_ = false;
      }
      break;
    case Destination::skipped:
      break;
    }
  }

  // A list label is text, unless it is only white space: the tab some writers give a heading
  // without a number is no part of what a reader sees.
  void startListText() {
    flushText();
    listStart_ = {result_.runs.size(), result_.runs.empty() ? 0 : result_.runs.back().text.size()};
  }

  void finishListText() {
    flushText();
    auto& all = result_.runs;
    auto [index, from] = listStart_;
    // Text appended to the run before the label merged into it.
    if (index > 0) {
      --index;
    } else {
      from = 0;
    }
    std::string label;
    for (auto run = index; run < all.size(); ++run)
      label += std::string_view(all[run].text).substr(run == index ? from : 0);
    // Blanks before the label only end its control words; a label of blanks is no label.
    auto remove = std::min(label.find_first_not_of(' '), label.size());
    if (label.find_first_not_of(" \t\n") == std::string::npos) remove = label.size();
    for (auto run = index; run < all.size() && remove > 0; ++run) {
      auto& text = all[run].text;
      const std::size_t start = run == index ? from : 0;
      const auto count = std::min(remove, text.size() - start);
      text.erase(start, count);
      remove -= count;
    }
    all.erase(std::remove_if(all.begin() + static_cast<std::ptrdiff_t>(index), all.end(),
                             [](const TextRun& run) { return run.text.empty(); }),
              all.end());
  }

  void flushBytes(GroupState& state) {
    if (pendingBytes_.empty()) return;
    int codePage = codePage_;
    const auto font = fonts_.find(state.font < 0 ? defaultFont_ : state.font);
    if (font != fonts_.end() && font->second.codePage != 0) codePage = font->second.codePage;
    std::string decoded;
    if (isMultiByteCodePage(codePage)) {
      decoded = decodeCodePage(pendingBytes_, codePage);
    } else {
      // A hostile document could name thousands of code pages; a few tables are plenty.
      if (byteTables_.size() >= maximumCodePages && byteTables_.count(codePage) == 0)
        codePage = 1252;
      auto& table = byteTables_[codePage];
      for (const char byte : pendingBytes_)
        decoded += decodedByte(table, static_cast<unsigned char>(byte), codePage);
    }
    pendingBytes_.clear();
    if (!decoded.empty()) character(state, decoded);
  }

  void flushText() {
    if (pending_.empty()) return;
    TextAttributes attributes;
    const auto font = fonts_.find(pendingState_.font < 0 ? defaultFont_ : pendingState_.font);
    if (font != fonts_.end() && !font->second.name.empty() &&
        font->second.name != RTFWriter::systemFontName)
      attributes.fontFamily = font->second.name;
    if (pendingState_.halfPoints) attributes.fontSize = *pendingState_.halfPoints / 2.0;
    attributes.bold = pendingState_.bold;
    attributes.italic = pendingState_.italic;
    attributes.underline = pendingState_.underline;
    if (const auto* associated = pendingState_.textAssociated()) {
      attributes.bold = associated->bold.value_or(attributes.bold);
      attributes.italic = associated->italic.value_or(attributes.italic);
      if (associated->halfPoints) attributes.fontSize = *associated->halfPoints / 2.0;
    }
    const auto colorIndex = static_cast<std::size_t>(pendingState_.color);
    if (colorIndex > 0 && colorIndex < colors_.size()) attributes.color = colors_[colorIndex];
    result_.append(std::move(pending_), attributes);
    pending_.clear();
  }

  std::string_view input_;
  std::size_t position_ = 0;
  std::size_t skipCount_ = 0;
  int codePage_ = 1252;
  int defaultFont_ = 0;
  std::map<int, Font> fonts_;
  int fontNumber_ = 0;
  std::string fontName_;
  std::vector<std::optional<TextColor>> colors_;
  TextColor color_;
  bool colorSet_ = false;
  std::optional<char16_t> highSurrogate_;
  std::string pendingBytes_;
  std::map<int, ByteTable> byteTables_;
  std::string pending_;
  GroupState pendingState_;
  // Where the text of the list label being read started: the run count and the last run's size.
  std::pair<std::size_t, std::size_t> listStart_;
  StyledText result_;
};

} // namespace

std::optional<StyledText> RTFReader::read(std::string_view bytes) {
  return Parser(bytes).run();
}

} // namespace halyard
