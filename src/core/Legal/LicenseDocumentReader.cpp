#include "core/Legal/LicenseDocumentReader.hpp"

#include <exception>
#include <functional>
#include <map>

#include "core/Legal/DocumentBytes.hpp"
#include "core/Legal/DocumentReaderFunctions.hpp"
#include "core/Legal/LicenseFormatter.hpp"
#include "core/Legal/MarkdownReader.hpp"
#include "core/Legal/RTFReader.hpp"
#include "core/Legal/TextEncoding.hpp"
#include "core/Legal/WebArchiveReader.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/ModuleLoadError.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

using Reader = std::function<std::optional<StyledText>(const std::filesystem::path&)>;

std::string contents(const std::filesystem::path& path) {
  return RegularFileReader::read(path, LicenseDocumentReader::maximumBytes);
}

std::optional<StyledText> readRTF(const std::filesystem::path& path) {
  return RTFReader::read(contents(path));
}

// An RTFD document is a folder package whose text is TXT.rtf.
std::optional<StyledText> readRTFD(const std::filesystem::path& path) {
  return readRTF(path / "TXT.rtf");
}

std::optional<StyledText> readMarkdown(const std::filesystem::path& path) {
  return MarkdownReader::read(TextEncoding::decodeDocument(contents(path)));
}

// PDF, Word 97, HTML and office documents are read by libraries loaded only when such a document
// comes.
std::optional<StyledText> readPDF(const std::filesystem::path& path) {
  return DocumentReaderFunctions::current().readPDF(path);
}

std::optional<StyledText> readHTML(const std::filesystem::path& path) {
  return DocumentReaderFunctions::current().readHTML(path);
}

std::optional<StyledText> readOffice(const std::filesystem::path& path) {
  return DocumentReaderFunctions::current().readOffice(path);
}

// True when the bytes start, after a byte-order mark and white space, with HTML markup.
bool looksLikeHTML(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const auto start = bytes.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || bytes[start] != '<') return false;
  const auto head = text::lowercasedASCII(bytes.substr(start));
  return head.find("<html") != std::string::npos ||
         head.find("<!doctype html") != std::string::npos;
}

// Some word processors save RTF or HTML under a Word 97 name: such a file is read by what it
// holds. Anything else goes to the Word 97 reader, which refuses what it cannot read.
std::optional<StyledText> readWord(const std::filesystem::path& path) {
  // The head tells; a real Word file is read once, by its own reader.
  const auto head = DocumentBytes::readHead(path, 1024).value_or("");
  if (head.substr(0, 5) == "{\\rtf") return RTFReader::read(contents(path));
  if (looksLikeHTML(head))
    return DocumentReaderFunctions::current().readHTMLBytes(contents(path), std::nullopt);
  return DocumentReaderFunctions::current().readWord(path);
}

std::optional<StyledText> readPlainText(const std::filesystem::path& path) {
  return LicenseDocumentReader::plainText(contents(path));
}

const std::map<std::string, Reader>& readers() {
  static const std::map<std::string, Reader> table = {
      {"rtf", readRTF},        {"rtfd", readRTFD},         {"docx", readOffice},
      {"doc", readWord},       {"odt", readOffice},        {"html", readHTML},
      {"htm", readHTML},       {"xhtml", readHTML},        {"webarchive", WebArchiveReader::read},
      {"md", readMarkdown},    {"markdown", readMarkdown}, {"txt", readPlainText},
      {"text", readPlainText}, {"pdf", readPDF},
  };
  return table;
}

} // namespace

TextAttributes LicenseDocumentReader::plainAttributes() {
  TextAttributes attributes;
  attributes.fontSize = 12;
  attributes.color = TextColor{0, 0, 0};
  return attributes;
}

StyledText LicenseDocumentReader::plainText(std::string_view bytes) {
  StyledText text;
  text.append(TextEncoding::decodeDocument(bytes), plainAttributes());
  return text;
}

std::optional<StyledText> LicenseDocumentReader::read(const std::filesystem::path& url) {
  auto extension = text::lowercasedASCII(url.extension().string());
  if (!extension.empty()) extension.erase(0, 1);
  const auto reader = readers().find(extension);
  if (reader == readers().end() || !reader->second) return std::nullopt;

  std::optional<StyledText> text;
  try {
    text = reader->second(url);
  } catch (const ModuleLoadError&) {
    throw; // the document may be fine: the program cannot read it
  } catch (const std::exception&) {
    text.reset();
  }
  if (!text) {
    HalyardCoreLog::debugMessage("[Halyard] Legal document could not be read: " + url.string());
    return std::nullopt;
  }
  if (LicenseFormatter::isBlank(text->string())) return std::nullopt;
  return text;
}

} // namespace halyard
