#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "core/Design/DesignTemplate.hpp"
#include "core/Design/DesignTemplateError.hpp"
#include "core/Support/Base64.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
using json = nlohmann::json;
using Code = DesignTemplateError::Code;

namespace {

json minimalSticker() {
  return {{"id", "6f1c1f8e-1b7a-4c2e-9a51-3c2d8d5e7a10"},
          {"asset",
           {{"id", "a"},
            {"displayName", "Arrow"},
            {"source", {{"kind", "sfSymbol"}, {"value", "arrow.right"}}}}},
          {"position", {120.5, 80}},
          {"scale", 0.25},
          {"rotationRadians", 0}};
}

// The canvas with only its required keys, one sticker with only its required keys.
json minimalDocument() {
  return {{"canvas",
           {{"size", {660, 400}},
            {"gradient",
             {{"kind", "linear"},
              {"stops", json::array({{{"color", {{"r", 1}, {"g", 0}, {"b", 0}, {"a", 1}}},
                                      {"location", 0},
                                      {"point", {{"x", 0}, {"y", 0.5}}}}})},
              {"angleDegrees", 90},
              {"radialCenter", {0.5, 0.5}},
              {"radialRadius", 0.75}}},
            {"stickers", json::array({minimalSticker()})}}}};
}

DesignTemplateError decodeFailure(const json& document) {
  try {
    DesignTemplate::decode(document.dump());
  } catch (const DesignTemplateError& error) {
    return error;
  }
  ADD_FAILURE() << "decoded: " << document.dump();
  return DesignTemplateError(Code::invalidJSON, "");
}

} // namespace

TEST(DesignTemplateDecoding, MinimalDocumentTakesEveryDefault) {
  const auto design = DesignTemplate::decode(minimalDocument().dump());
  EXPECT_TRUE(design.showInstallerOverlay);
  EXPECT_FALSE(design.installerPreviewReversed);
  EXPECT_TRUE(design.importedMedia.empty());
  EXPECT_TRUE(design.embeddedMedia.empty());

  const DesignSpec& canvas = design.canvas;
  EXPECT_EQ(canvas.size, (DesignSize{660, 400}));
  EXPECT_TRUE(canvas.exportLabelPillEnabled);
  EXPECT_EQ(canvas.exportLabelPillColor, (CodableColor{1, 1, 1, 1}));
  EXPECT_EQ(canvas.exportLabelTextColor, (CodableColor{0, 0, 0, 1}));
  EXPECT_EQ(canvas.gradient.kind, GradientKind::linear);
  EXPECT_EQ(canvas.gradient.radialCenter, (DesignPoint{0.5, 0.5}));
  ASSERT_EQ(canvas.gradient.stops.size(), 1u);
  EXPECT_EQ(canvas.gradient.stops[0].point, (CodablePoint{0, 0.5}));

  ASSERT_EQ(canvas.stickers.size(), 1u);
  const StickerItem& sticker = canvas.stickers[0];
  EXPECT_EQ(sticker.id, "6F1C1F8E-1B7A-4C2E-9A51-3C2D8D5E7A10");
  EXPECT_EQ(sticker.position, (DesignPoint{120.5, 80}));
  EXPECT_EQ(sticker.opacity, 1.0);
  EXPECT_EQ(sticker.outlineWidth, 2.5);
  EXPECT_EQ(sticker.zIndex, 0);
  EXPECT_FALSE(sticker.mirroredHorizontally);
  EXPECT_FALSE(sticker.outlineEnabled);
  EXPECT_FALSE(sticker.outlineSyncSource);
  EXPECT_EQ(sticker.outlineColor, CodableColor::white());
  EXPECT_FALSE(sticker.outline.has_value());
  ASSERT_NE(sticker.asset.source.symbol(), nullptr);
  EXPECT_EQ(sticker.asset.source.symbol()->name, "arrow.right");
}

TEST(DesignTemplateDecoding, EmptyTextSpecAndNullOptionalsGiveDefaults) {
  auto document = minimalDocument();
  auto& sticker = document["canvas"]["stickers"][0];
  sticker["asset"]["source"] = {{"kind", "text"}, {"value", json::object()}};
  sticker["opacity"] = nullptr;
  sticker["outline"] = nullptr;
  document["showInstallerOverlay"] = nullptr;
  document["someFutureKey"] = {{"anything", 1}};

  const auto design = DesignTemplate::decode(document.dump());
  const auto* text = design.canvas.stickers[0].asset.source.textSpec();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(*text, DesignerTextSpec{});
  EXPECT_EQ(text->text, "");
  EXPECT_EQ(text->fontFamily, "System");
  EXPECT_EQ(text->fontSize, 72);
  EXPECT_FALSE(text->isBold || text->isItalic || text->isUnderline || text->isStrikethrough);
  EXPECT_EQ(text->alignment, DesignerTextAlignment::center);
  EXPECT_EQ(text->color, CodableColor::white());
  EXPECT_EQ(design.canvas.stickers[0].opacity, 1.0);
  EXPECT_FALSE(design.canvas.stickers[0].outline.has_value());
  EXPECT_TRUE(design.showInstallerOverlay);
}

TEST(DesignTemplateDecoding, PresentValuesOverrideDefaults) {
  auto document = minimalDocument();
  auto& sticker = document["canvas"]["stickers"][0];
  sticker["zIndex"] = -3.0; // a whole number written as a real is still an integer
  sticker["outline"] = {{"color", {{"r", 0}, {"g", 0.5}, {"b", 1}, {"a", 1}}}, {"thickness", 3}};
  document["embeddedMedia"] = {
      {{"originalFilename", "Logo"}, {"fileExtension", "png"}, {"data", "iVBORw=="}}};

  const auto design = DesignTemplate::decode(document.dump());
  EXPECT_EQ(design.canvas.stickers[0].zIndex, -3);
  EXPECT_EQ(design.canvas.stickers[0].outline, (OutlineSpec{{0, 0.5, 1, 1}, 3}));
  EXPECT_EQ(design.embeddedMedia.at(0).data, std::string("\x89PNG", 4));
}

TEST(DesignTemplateDecoding, FailuresNameTheKey) {
  struct Case {
    const char* pointer;
    json value;
    Code code;
    const char* key;
  };
  const std::vector<Case> cases = {
      {"/canvas/gradient/kind", "conic", Code::invalidValue, "canvas.gradient.kind"},
      {"/canvas/gradient/kind", "Linear", Code::invalidValue, "canvas.gradient.kind"},
      {"/canvas/size", {{"width", 1}, {"height", 2}}, Code::wrongType, "canvas.size"},
      {"/canvas/size", {660}, Code::wrongType, "canvas.size"},
      {"/canvas/stickers/0/scale", "1", Code::wrongType, "canvas.stickers[0].scale"},
      {"/canvas/stickers/0/zIndex", 1.5, Code::invalidValue, "canvas.stickers[0].zIndex"},
      {"/canvas/stickers/0/id", "not-a-uuid", Code::invalidValue, "canvas.stickers[0].id"},
      {"/canvas/stickers/0/mirroredHorizontally", 1, Code::wrongType,
       "canvas.stickers[0].mirroredHorizontally"},
      {"/canvas/stickers/0/asset/source/kind", "emoji", Code::invalidValue,
       "canvas.stickers[0].asset.source.kind"},
      {"/canvas/stickers/0/asset/source",
       {{"kind", "text"}, {"value", {{"alignment", "justified"}}}},
       Code::invalidValue,
       "canvas.stickers[0].asset.source.value.alignment"},
      {"/canvas/stickers/0/asset/source",
       {{"kind", "file"}, {"value", {{"relative", ""}}}},
       Code::invalidValue,
       "canvas.stickers[0].asset.source.value"},
      {"/canvas/stickers/0/asset/source",
       {{"kind", "file"}, {"value", "file:///a.png"}},
       Code::wrongType,
       "canvas.stickers[0].asset.source.value"},
      {"/canvas/exportLabelPillColor",
       {{"r", 1}, {"g", 1}, {"b", 1}},
       Code::missingKey,
       "canvas.exportLabelPillColor.a"},
      {"/canvas/stickers/0/outline",
       {{"thickness", 2}},
       Code::missingKey,
       "canvas.stickers[0].outline.color"},
      {"/canvas/gradient/stops/0/location", nullptr, Code::missingKey,
       "canvas.gradient.stops[0].location"},
      {"/embeddedMedia",
       {{{"originalFilename", "a"}, {"fileExtension", "png"}, {"data", "not base64!"}}},
       Code::invalidValue,
       "embeddedMedia[0].data"},
      {"/importedMedia",
       {{{"base", {{"relative", "file:///"}}}}},
       Code::missingKey,
       "importedMedia[0].relative"},
  };
  for (const auto& c : cases) {
    auto document = minimalDocument();
    document[json::json_pointer(c.pointer)] = c.value;
    const auto error = decodeFailure(document);
    EXPECT_EQ(error.kind(), c.code) << c.pointer << ": " << error.what();
    EXPECT_NE(std::string(error.what()).find(std::string("\"") + c.key + "\""), std::string::npos)
        << error.what();
    EXPECT_EQ(error.domain(), "Halyard.designTemplate");
  }

  for (const char* required :
       {"/canvas/stickers", "/canvas/gradient/radialRadius", "/canvas/stickers/0/rotationRadians",
        "/canvas/stickers/0/asset/displayName"}) {
    auto document = minimalDocument();
    const json::json_pointer pointer(required);
    document[pointer.parent_pointer()].erase(pointer.back());
    EXPECT_EQ(decodeFailure(document).kind(), Code::missingKey) << required;
  }
}

TEST(DesignTemplateDecoding, MalformedAndHostileDocumentsFailCleanly) {
  EXPECT_EQ(decodeFailure(json::array({1, 2})).kind(), Code::wrongType);
  EXPECT_EQ(decodeFailure(json::object()).kind(), Code::missingKey);
  for (const std::string& text :
       {std::string(""), std::string("{\"canvas\": "), std::string("{\"canvas\": {}} trailing"),
        std::string("\xff\xfe{}")}) {
    EXPECT_THROW(
        {
          try {
            DesignTemplate::decode(text);
          } catch (const DesignTemplateError& error) {
            EXPECT_EQ(error.kind(), Code::invalidJSON);
            throw;
          }
        },
        DesignTemplateError)
        << text;
  }
  // Deep nesting is refused early rather than built up.
  const std::string deep =
      "{\"canvas\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
  try {
    DesignTemplate::decode(deep);
    ADD_FAILURE() << "deep document decoded";
  } catch (const DesignTemplateError& error) {
    EXPECT_NE(std::string(error.what()).find("nested too deeply"), std::string::npos);
  }
}

TEST(DesignTemplateDecoding, FileURLsResolveAgainstTheirBase) {
  auto document = minimalDocument();
  document["importedMedia"] = {
      {{"relative", "file:///Users/me/My%20Pictures/Logo.png"}},
      {{"relative", "../Shared/Badge.PNG"}, {"base", {{"relative", "file:///Users/me/Design/"}}}},
      {{"relative", "https://example.com/a.png"}},
  };
  const auto media = DesignTemplate::decode(document.dump()).importedMedia;
  ASSERT_EQ(media.size(), 3u);
  EXPECT_TRUE(media[0].isFileURL());
  EXPECT_EQ(media[0].path(), "/Users/me/My Pictures/Logo.png");
  EXPECT_EQ(media[1].absoluteString(), "file:///Users/me/Shared/Badge.PNG");
  EXPECT_FALSE(media[2].isFileURL());

  // An encoded NUL is not decoded into the path, where it would cut the name short.
  EXPECT_EQ(FileURL::make("file:///etc/passwd%00.png")->path(), "/etc/passwd%00.png");
  // Paths survive the trip through a URL, reserved characters included.
  const std::filesystem::path odd = "/tmp/a b/100%/#1?.png";
  EXPECT_EQ(FileURL::fromPath(odd).path(), odd);
}

TEST(DesignTemplateDecoding, LoadReadsOnlyRegularFiles) {
  TemporaryFolder folder("Halyard_DesignTest_");
  const auto file = folder.path() / "Window.hyd";
  std::ofstream(file) << minimalDocument().dump();
  EXPECT_EQ(DesignTemplate::load(file).canvas.size, (DesignSize{660, 400}));
  EXPECT_EQ(std::string(DesignTemplate::fileExtension), "hyd");

  const auto fifo = folder.path() / "pipe.hyd";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& path :
       {fifo, folder.path(), std::filesystem::path("/dev/zero"), folder.path() / "missing.hyd"}) {
    try {
      DesignTemplate::load(path);
      ADD_FAILURE() << path;
    } catch (const DesignTemplateError&) {
      ADD_FAILURE() << "read error expected for " << path;
    } catch (const Error& error) {
      EXPECT_EQ(error.domain(), "Halyard.fileRead") << path;
    }
  }
}

TEST(Base64, EncodesAndDecodesTheStandardVectors) {
  const std::vector<std::pair<std::string, std::string>> vectors = {{"", ""},
                                                                    {"f", "Zg=="},
                                                                    {"fo", "Zm8="},
                                                                    {"foo", "Zm9v"},
                                                                    {"foob", "Zm9vYg=="},
                                                                    {"fooba", "Zm9vYmE="},
                                                                    {"foobar", "Zm9vYmFy"},
                                                                    {"\xff\xfe", "//4="}};
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(Base64::encoded(plain), encoded);
    EXPECT_EQ(Base64::decoded(encoded), plain);
  }
  for (const char* bad : {"Zg=", "Zg", "Z===", "Zm9v\n", "Zm 9", "Zg==Zg==", "=Zg=", "Zm9*"}) {
    EXPECT_FALSE(Base64::decoded(bad).has_value()) << bad;
  }
}
