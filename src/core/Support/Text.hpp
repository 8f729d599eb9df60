#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace halyard::text {

// Removes leading and trailing white space and line breaks (space, tab, CR, LF, VT, FF).
std::string trimmed(std::string_view value);
// Removes the leading and trailing bytes that are in `characters`; the second form returns a
// view into `value`.
std::string trimmed(std::string_view value, std::string_view characters);
std::string_view trimmedView(std::string_view value, std::string_view characters);

// Control characters (C0 but tab, and DEL) replaced by a visible escape such as "\x1b", so that
// text from an untrusted file or tool can be shown on a terminal without steering it. The one
// rule for every name and tool text bosun shows.
std::string printable(std::string_view text);

// True when the bytes are well-formed UTF-8.
bool isValidUTF8(std::string_view bytes);

// The code point appended in UTF-8; a surrogate or a value past U+10FFFF as U+FFFD.
void appendUTF8(std::string& out, char32_t codePoint);

// The joined output of a tool step: both streams trimmed; trimmed standard error, one line feed,
// trimmed standard output when both have text; otherwise whichever has text, or "".
std::string joinedOutput(std::string_view standardError, std::string_view standardOutput);

// ASCII letters lower-cased; every other byte (UTF-8 sequences included) unchanged.
std::string lowercasedASCII(std::string_view value);

// Full Unicode case folding, for comparing names in any script without regard to case: "JÖRG"
// folds as "jörg" does, "STRASSE" as "Straße" does. Bytes that are not UTF-8 become U+FFFD.
std::string caseFolded(std::string_view value);

// Whether `needle` occurs in `haystack`; the second form compares ASCII letters without regard
// to case. An empty needle occurs everywhere.
bool contains(std::string_view haystack, std::string_view needle);
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

// `parts` joined with `separator`.
std::string joined(const std::vector<std::string>& parts, std::string_view separator);

} // namespace halyard::text
