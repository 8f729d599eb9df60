#pragma once

#include <string>

namespace halyard {

// A picture carried inside a template so that it can be opened on another machine.
struct EmbeddedDesignerMedia {
  std::string originalFilename; // without extension
  std::string fileExtension;
  std::string data; // the file's bytes (Base64 in the document)

  friend bool operator==(const EmbeddedDesignerMedia&, const EmbeddedDesignerMedia&) = default;
};

} // namespace halyard
