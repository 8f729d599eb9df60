// Titles, versions and lipo output of arbitrary bytes (they come from the app's Info.plist and
// the tool): the distribution definition is always well-formed XML that gives the title back
// without the characters XML cannot carry, and the host architectures are always one of the
// four possible lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "core/PKG/PKGDistribution.hpp"
#include "core/Process/Architectures.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string architectures =
      halyard::PKGDistribution::hostArchitecturesFrom(halyard::Architectures::read(bytes));
  if (architectures != "arm64" && architectures != "x86_64" && architectures != "arm64,x86_64" &&
      architectures != "x86_64,arm64")
    std::abort();

  halyard::PKGDistribution distribution;
  const size_t half = bytes.size() / 2;
  distribution.title = bytes.substr(0, half);
  distribution.version = bytes.substr(half);
  distribution.minimumSystemVersion = bytes;
  distribution.identifier = "com.example.fuzz";
  distribution.componentFileName = "com.example.fuzz.component.pkg";
  const std::string text = distribution.text();

  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
      xmlReadMemory(text.data(), static_cast<int>(text.size()), "Distribution.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      &xmlFreeDoc);
  if (!document) std::abort();
  xmlNode* root = xmlDocGetRootElement(document.get());
  xmlNode* title = root != nullptr ? root->children : nullptr;
  while (title != nullptr && title->type != XML_ELEMENT_NODE)
    title = title->next;
  if (title == nullptr) std::abort();
  std::unique_ptr<xmlChar, decltype(xmlFree)> content(xmlNodeGetContent(title), xmlFree);
  const std::string readBack = content ? reinterpret_cast<const char*>(content.get()) : "";
  // Escaping is undone by the parser; what remains is the cleaned title.
  std::string cleaned = halyard::PKGDistribution::escaped(distribution.title);
  for (const auto& [entity, character] : {std::pair<std::string, std::string>{"&lt;", "<"},
                                          {"&gt;", ">"},
                                          {"&quot;", "\""},
                                          {"&amp;", "&"}}) {
    for (size_t at = cleaned.find(entity); at != std::string::npos;
         at = cleaned.find(entity, at + character.size()))
      cleaned.replace(at, entity.size(), character);
  }
  if (readBack != cleaned) std::abort();
  return 0;
}
