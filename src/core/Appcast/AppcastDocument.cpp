#include "core/Appcast/AppcastDocument.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <vector>

#include "core/Appcast/AppcastFeed.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

using Document = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

const xmlChar* xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

bool isElement(const xmlNode* node, const char* name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE &&
         xmlStrEqual(node->name, xml(name)) != 0;
}

bool isBlankText(const xmlNode* node) {
  return node != nullptr && node->type == XML_TEXT_NODE && xmlIsBlankNode(node) != 0;
}

std::string content(const xmlNode* node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string result = text != nullptr ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return result;
}

xmlNode* firstChild(xmlNode* parent, const char* name) {
  for (xmlNode* child = parent->children; child != nullptr; child = child->next)
    if (isElement(child, name)) return child;
  return nullptr;
}

bool inUpdaterNamespace(const xmlNode* node) {
  return node->ns != nullptr &&
         xmlStrEqual(node->ns->href, xml(AppcastFeed::updaterNamespace)) != 0;
}

// The version an item stands for: its version element, else its enclosure's version attribute.
std::optional<std::string> itemVersion(xmlNode* item) {
  for (xmlNode* child = item->children; child != nullptr; child = child->next)
    if (isElement(child, "version") && inUpdaterNamespace(child))
      return text::trimmed(content(child));
  if (xmlNode* enclosure = firstChild(item, "enclosure")) {
    if (xmlChar* value =
            xmlGetNsProp(enclosure, xml("version"), xml(AppcastFeed::updaterNamespace))) {
      std::string version = text::trimmed(reinterpret_cast<const char*>(value));
      xmlFree(value);
      return version;
    }
  }
  return std::nullopt;
}

Document parse(const std::string& bytes, const std::string& name) {
  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(),
                                                                       &xmlFreeParserCtxt);
  if (!context) throw AppcastFeedError("The feed " + name + " could not be read: out of memory.");
  // No network, no external entities or DTDs loaded, and libxml2's own messages kept quiet: the
  // first error becomes ours.
  Document document(xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                    &xmlFreeDoc);
  if (!document || context->wellFormed == 0) {
    const xmlError* error = xmlCtxtGetLastError(context.get());
    std::string reason =
        error != nullptr && error->message != nullptr
            ? text::trimmed(error->message) + " (line " + std::to_string(error->line) + ")"
            : "unreadable";
    throw AppcastFeedError("The feed " + name + " is not well-formed XML: " + reason + ".");
  }
  return document;
}

xmlNode* channelOf(xmlDoc* document, const std::string& name) {
  xmlNode* root = xmlDocGetRootElement(document);
  xmlNode* channel = isElement(root, "rss") ? firstChild(root, "channel") : nullptr;
  if (channel == nullptr)
    throw AppcastFeedError("The feed " + name + " is not an RSS feed (no <rss> with a <channel>).");
  return channel;
}

Document newFeed(const std::string& channelTitle) {
  Document document(xmlNewDoc(xml("1.0")), &xmlFreeDoc);
  document->encoding = xmlStrdup(xml("utf-8"));
  xmlNode* rss = xmlNewDocNode(document.get(), nullptr, xml("rss"), nullptr);
  xmlDocSetRootElement(document.get(), rss);
  xmlNewProp(rss, xml("version"), xml("2.0"));
  xmlNewNs(rss, xml(AppcastFeed::updaterNamespace), xml(AppcastFeed::updaterPrefix));
  xmlAddChild(rss, xmlNewText(xml("\n  ")));
  xmlNode* channel = xmlNewChild(rss, nullptr, xml("channel"), nullptr);
  xmlAddChild(rss, xmlNewText(xml("\n")));
  xmlAddChild(channel, xmlNewText(xml("\n    ")));
  xmlNewTextChild(channel, nullptr, xml("title"), xml(channelTitle.c_str()));
  xmlAddChild(channel, xmlNewText(xml("\n  ")));
  return document;
}

// The white space before `node` when it is a line break and indentation; else nothing.
std::string indentationBefore(const xmlNode* node) {
  if (node == nullptr || !isBlankText(node->prev)) return "";
  const std::string space = content(node->prev);
  const auto lineBreak = space.rfind('\n');
  return lineBreak == std::string::npos ? "" : space.substr(lineBreak);
}

xmlNode* newItem(xmlDoc* document, xmlNs* ns, const AppcastItem& item, const std::string& indent) {
  // The item's children sit one step deeper than the item, in the feed's own indentation style.
  const std::string childIndent =
      indent.empty() ? "" : indent + (indent.back() == '\t' ? "\t" : "  ");
  xmlNode* node = xmlNewDocNode(document, nullptr, xml("item"), nullptr);
  const auto child = [&](xmlNs* space, const char* name, const std::string* value) {
    if (!childIndent.empty()) xmlAddChild(node, xmlNewDocText(document, xml(childIndent.c_str())));
    // Text children are escaped as they are written; an element without one stays empty (<x/>).
    return value != nullptr ? xmlNewTextChild(node, space, xml(name), xml(value->c_str()))
                            : xmlNewChild(node, space, xml(name), nullptr);
  };
  child(nullptr, "title", &item.title);
  child(nullptr, "pubDate", &item.pubDate);
  child(ns, "version", &item.version);
  if (item.shortVersionString) child(ns, "shortVersionString", &*item.shortVersionString);
  if (item.minimumSystemVersion) child(ns, "minimumSystemVersion", &*item.minimumSystemVersion);
  xmlNode* enclosure = child(nullptr, "enclosure", nullptr);
  xmlNewProp(enclosure, xml("url"), xml(item.url.c_str()));
  xmlNewProp(enclosure, xml("length"), xml(std::to_string(item.length).c_str()));
  xmlNewProp(enclosure, xml("type"), xml("application/octet-stream"));
  xmlNewNsProp(enclosure, ns, xml("edSignature"), xml(item.edSignature.c_str()));
  if (!indent.empty()) xmlAddChild(node, xmlNewDocText(document, xml(indent.c_str())));
  return node;
}

void removeWithIndentation(xmlNode* node) {
  if (isBlankText(node->prev)) {
    xmlNode* space = node->prev;
    xmlUnlinkNode(space);
    xmlFreeNode(space);
  }
  xmlUnlinkNode(node);
  xmlFreeNode(node);
}

void insert(xmlDoc* document, xmlNode* channel, xmlNs* ns, const AppcastItem& item) {
  std::vector<xmlNode*> sameVersion;
  xmlNode* firstItem = nullptr;
  xmlNode* lastElement = nullptr;
  for (xmlNode* child = channel->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    lastElement = child;
    if (!isElement(child, "item")) continue;
    if (firstItem == nullptr) firstItem = child;
    if (itemVersion(child) == item.version) sameVersion.push_back(child);
  }
  if (!sameVersion.empty()) {
    xmlNode* replaced = sameVersion.front();
    xmlNode* node = newItem(document, ns, item, indentationBefore(replaced));
    xmlReplaceNode(replaced, node);
    xmlFreeNode(replaced);
    for (std::size_t i = 1; i < sameVersion.size(); ++i)
      removeWithIndentation(sameVersion[i]);
    return;
  }
  if (firstItem != nullptr) {
    const std::string indent = indentationBefore(firstItem);
    xmlAddPrevSibling(firstItem, newItem(document, ns, item, indent));
    if (!indent.empty()) xmlAddPrevSibling(firstItem, xmlNewDocText(document, xml(indent.c_str())));
  } else if (lastElement != nullptr) {
    const std::string indent = indentationBefore(lastElement);
    xmlNode* after = lastElement;
    if (!indent.empty())
      after = xmlAddNextSibling(after, xmlNewDocText(document, xml(indent.c_str())));
    xmlAddNextSibling(after, newItem(document, ns, item, indent));
  } else {
    xmlAddChild(channel, newItem(document, ns, item, ""));
  }
}

} // namespace

void AppcastDocument::check(const std::string& bytes, const std::string& name) {
  const Document document = parse(bytes, name);
  channelOf(document.get(), name);
}

std::string AppcastDocument::withItem(const std::optional<std::string>& existing,
                                      const AppcastItem& item, const std::string& channelTitle,
                                      const std::string& name) {
  Document document = existing ? parse(*existing, name) : newFeed(channelTitle);
  xmlNode* channel = channelOf(document.get(), name);
  xmlNode* root = xmlDocGetRootElement(document.get());
  xmlNs* ns = xmlSearchNsByHref(document.get(), root, xml(AppcastFeed::updaterNamespace));
  if (ns == nullptr)
    ns = xmlNewNs(root, xml(AppcastFeed::updaterNamespace), xml(AppcastFeed::updaterPrefix));
  if (ns == nullptr)
    throw AppcastFeedError("The feed " + name + " uses the prefix \"" + AppcastFeed::updaterPrefix +
                           "\" for another namespace.");
  insert(document.get(), channel, ns, item);
  xmlChar* bytes = nullptr;
  int size = 0;
  xmlDocDumpMemory(document.get(), &bytes, &size);
  if (bytes == nullptr) throw AppcastFeedError("The feed " + name + " could not be written.");
  std::string result(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  xmlFree(bytes);
  return result;
}

} // namespace halyard
