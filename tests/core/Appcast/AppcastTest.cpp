// The update feed: Ed25519 signatures checked against the standard's test vector and verified by
// an independent implementation (openssl), and feeds compared as canonical XML.
#include <gtest/gtest.h>
#include <libxml/c14n.h>
#include <libxml/parser.h>

#include <fstream>

#include "core/Appcast/AppcastFeed.hpp"
#include "core/Appcast/EdSigningKey.hpp"
#include "core/Support/Base64.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "support/BosunRun.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::fileContents;
using bosun::testing::writeFile;

std::string bytes(const std::string& hex) {
  std::string result;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    result += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return result;
}

// RFC 8032, section 7.1, test 1: the key, its public key and the signature of the empty message.
const std::string seed = bytes("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
const std::string publicKey =
    bytes("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
const std::string emptySignature =
    bytes("e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e"
          "39701cf9b46bd25bf5f0595bbe24655141438e7a100b");

TEST(EdSigningKeyTest, SignsAsTheStandardSaysAndRefusesMalformedKeys) {
  for (const std::string& text :
       {Base64::encoded(seed), " " + Base64::encoded(seed + publicKey) + "\n"}) {
    const auto key = EdSigningKey::fromBase64(text);
    EXPECT_EQ(key.publicKey(), publicKey);
    EXPECT_EQ(key.sign(""), emptySignature);
  }
  const std::string wrongPublic(32, 'x');
  for (const std::string& text :
       {std::string(), std::string("not Base64!"), Base64::encoded(seed.substr(1)),
        Base64::encoded(seed + "z"), Base64::encoded(seed + wrongPublic)}) {
    try {
      EdSigningKey::fromBase64(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const EdSigningKeyError& error) {
      EXPECT_EQ(error.kind(), EdSigningKeyError::Kind::malformed);
      if (!text.empty()) {
        EXPECT_EQ(std::string(error.what()).find(text), std::string::npos);
      }
    }
  }
}

TEST(EdSigningKeyTest, FileSignaturesVerifyWithAnotherImplementation) {
  const TemporaryFolder folder("EdSigningKeyTest_");
  const fs::path file = folder.path() / "Demo 1.0.dmg";
  std::string content;
  for (int i = 0; i < 300000; ++i)
    content += static_cast<char>(static_cast<long long>(i) * 7919 % 251);
  writeFile(file, content);
  writeFile(folder.path() / "key.txt", Base64::encoded(seed) + "\n");
  const auto key = EdSigningKey::fromFile(folder.path() / "key.txt");
  writeFile(folder.path() / "signature", key.signFile(file));
  // The public key as SubjectPublicKeyInfo (DER): the Ed25519 prefix, then the 32 bytes.
  writeFile(folder.path() / "public.der", bytes("302a300506032b6570032100") + key.publicKey());
  const auto verify = [&] {
    bosun::testing::RunOptions options;
    options.executable = "/usr/bin/openssl";
    options.arguments = {"pkeyutl",
                         "-verify",
                         "-pubin",
                         "-keyform",
                         "DER",
                         "-inkey",
                         (folder.path() / "public.der").string(),
                         "-rawin",
                         "-in",
                         file.string(),
                         "-sigfile",
                         (folder.path() / "signature").string()};
    return bosun::testing::runProgram(options).exitedWith(0);
  };
  EXPECT_TRUE(verify());
  content[123456] ^= 1;
  writeFile(file, content);
  EXPECT_FALSE(verify()) << "a changed byte must break the signature";
  // A folder, a missing file and one far too large for a key are not read.
  writeFile(folder.path() / "large.txt", std::string(5000, 'A'));
  for (const auto& path : {folder.path(), folder.path() / "absent", folder.path() / "large.txt"}) {
    try {
      EdSigningKey::fromFile(path);
      ADD_FAILURE() << "read " << path;
    } catch (const EdSigningKeyError& error) {
      EXPECT_EQ(error.kind(), EdSigningKeyError::Kind::unreadable) << path;
    }
  }
}

TEST(AppcastItemTest, DatesAddressesAndEncoding) {
  EXPECT_EQ(AppcastItem::rfc822Date(0), "Thu, 01 Jan 1970 00:00:00 +0000");
  EXPECT_EQ(AppcastItem::rfc822Date(1796594860), "Sun, 06 Dec 2026 22:07:40 +0000");
  EXPECT_EQ(AppcastItem::rfc822Date(1709197503), "Thu, 29 Feb 2024 09:05:03 +0000");
  EXPECT_EQ(AppcastItem::enclosureURL("https://example.com/dl", "My App 1.2 (b)+\xC3\xBC~_.dmg"),
            "https://example.com/dl/My%20App%201.2%20%28b%29%2B%C3%BC~_.dmg");
  EXPECT_EQ(AppcastItem::enclosureURL("https://example.com/dl/", "a/b#c?.dmg"),
            "https://example.com/dl/a%2Fb%23c%3F.dmg");
  const std::pair<const char*, bool> folders[] = {
      {"https://example.com/downloads/", true},
      {"HTTPS://Example.com", true},
      {"http://example.com/", false},
      {"https://", false},
      {"https:///downloads", false},
      {"https://example.com/a b", false},
      {"https://example.com/?v=1", false},
      {"https://example.com/#top", false},
      {"ftp://example.com/", false},
      {"https://example.com/\x7F", false},
  };
  for (const auto& [url, accepted] : folders)
    EXPECT_EQ(AppcastItem::isDownloadFolderURL(url), accepted) << url;
}

// The canonical form (comments kept): attribute order, quotes and the XML declaration do not
// count, everything else does.
std::string canonical(const std::string& document) {
  xmlDocPtr parsed = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr,
                                   nullptr, XML_PARSE_NONET);
  if (parsed == nullptr) return "not well-formed: " + document;
  xmlChar* text = nullptr;
  const int size = xmlC14NDocDumpMemory(parsed, nullptr, XML_C14N_1_0, nullptr, 1, &text);
  std::string result(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
  xmlFree(text);
  xmlFreeDoc(parsed);
  return result;
}

AppcastItem item(const std::string& version, const std::string& shortVersion) {
  AppcastItem item;
  item.title = "Version " + shortVersion;
  item.version = version;
  item.shortVersionString = shortVersion;
  item.pubDate = "Sun, 06 Dec 2026 22:07:40 +0000";
  item.url = "https://example.com/dl/Demo%20" + shortVersion + ".dmg";
  item.length = 42;
  item.edSignature = "c2ln";
  return item;
}

// The item as it must appear, with the indentation of its line and one step for its children.
std::string itemText(const AppcastItem& item, const std::string& line, const std::string& step) {
  const std::string inner = line + step;
  std::string text = "<item>" + inner + "<title>" + item.title + "</title>" + inner + "<pubDate>" +
                     item.pubDate + "</pubDate>" + inner + "<sparkle:version>" + item.version +
                     "</sparkle:version>" + inner + "<sparkle:shortVersionString>" +
                     *item.shortVersionString + "</sparkle:shortVersionString>";
  if (item.minimumSystemVersion)
    text += inner + "<sparkle:minimumSystemVersion>" + *item.minimumSystemVersion +
            "</sparkle:minimumSystemVersion>";
  return text + inner + "<enclosure url=\"" + item.url +
         "\" length=\"42\" type=\"application/octet-stream\" sparkle:edSignature=\"c2ln\"/>" +
         line + "</item>";
}

constexpr const char* updaterNamespace =
    "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"";

TEST(AppcastFeedTest, ANewFeedHoldsTheChannelAndTheItem) {
  auto first = item("120", "1.2");
  first.minimumSystemVersion = "11.0";
  const std::string expected = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss ") +
                               updaterNamespace + " version=\"2.0\">\n  <channel>\n    " +
                               "<title>Demo &amp; Co &lt;3</title>\n    " +
                               itemText(first, "\n    ", "  ") + "\n  </channel>\n</rss>\n";
  const std::string feed = AppcastFeed::withItem(std::nullopt, first, "Demo & Co <3", "feed.xml");
  EXPECT_EQ(canonical(feed), canonical(expected));
}

TEST(AppcastFeedTest, AnExistingFeedKeepsEverythingButTheReplacedVersion) {
  const std::string older = "<item>\n\t\t\t<title>Version 1.0</title>\n\t\t\t<enclosure "
                            "url=\"https://example.com/1.dmg\" sparkle:version=\"100\" "
                            "length=\"1\"/>\n\t\t</item>";
  const std::string newer =
      "<item>\n\t\t\t<title>Version 2.0</title>\n\t\t\t<sparkle:version>200</sparkle:version>"
      "\n\t\t\t<description><![CDATA[<p>New & better</p>]]></description>\n\t\t</item>";
  const std::string head = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                       "<!-- the feed of Demo -->\n<rss version=\"2.0\" ") +
                           updaterNamespace +
                           " xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n\t<channel>\n"
                           "\t\t<title>Demo</title>\n\t\t<dc:creator>Example</dc:creator>\n"
                           "\t\t<!-- newest first -->\n\t\t";
  const std::string tail = "\n\t</channel>\n</rss>\n";
  const std::string feed = head + newer + "\n\t\t" + older + tail;
  const auto added = item("300", "3.0");
  const auto again = item("100", "1.0.1");
  const auto same = item("200", "2.0");
  const struct {
    AppcastItem item;
    std::string expected;
  } cases[] = {
      {added, head + itemText(added, "\n\t\t", "\t") + "\n\t\t" + newer + "\n\t\t" + older + tail},
      {again, head + newer + "\n\t\t" + itemText(again, "\n\t\t", "\t") + tail},
      {same, head + itemText(same, "\n\t\t", "\t") + "\n\t\t" + older + tail},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.item.version);
    EXPECT_EQ(canonical(AppcastFeed::withItem(feed, test.item, "ignored", "feed.xml")),
              canonical(test.expected));
  }

  // A feed without the updater's namespace gets it; a feed without items gets the first one
  // after its last element.
  const std::string bare = "<rss version=\"2.0\">\n  <channel>\n    <title>Demo</title>\n  "
                           "</channel>\n</rss>\n";
  EXPECT_EQ(canonical(AppcastFeed::withItem(bare, added, "ignored", "feed.xml")),
            canonical(std::string("<rss ") + updaterNamespace +
                      " version=\"2.0\">\n  <channel>\n    <title>Demo</title>\n    " +
                      itemText(added, "\n    ", "  ") + "\n  </channel>\n</rss>\n"));
}

TEST(AppcastFeedTest, AFeedThatIsNoFeedIsLeftUntouched) {
  const TemporaryFolder folder("AppcastFeedTest_");
  const fs::path feed = folder.path() / "feed.xml";
  AppcastFeed::check(feed); // none yet: fine
  for (const std::string& bad :
       {std::string("<rss version=\"2.0\"><channel><title>x</title></rss>"),
        std::string("<html><body/></html>"), std::string("<rss version=\"2.0\"/>"), std::string(),
        std::string("<rss><channel/></rss><rss/>")}) {
    SCOPED_TRACE(bad);
    writeFile(feed, bad);
    EXPECT_THROW(AppcastFeed::check(feed), AppcastFeedError);
    EXPECT_THROW(AppcastFeed::addItem(feed, item("1", "1"), "Demo"), AppcastFeedError);
    EXPECT_EQ(fileContents(feed), bad);
    EXPECT_EQ(bosun::testing::sortedFileNames(folder.path()), std::vector<std::string>{"feed.xml"});
  }
}

} // namespace
} // namespace halyard
