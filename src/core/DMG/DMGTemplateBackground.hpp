#pragma once

#include <filesystem>
#include <vector>

#include "core/Design/DesignTemplate.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/FileURL.hpp"

namespace halyard {

// Turns a Designer template into the background picture of a DMG window.
struct DMGTemplateBackground {
  static constexpr const char* imageFileName = "Halyard_Template_Background.png";

  class Failure : public Error {
  public:
    static constexpr const char* domainName = "Halyard.templateBackground";
    enum class Kind { missingMedia };

    // "The template references media that could not be found: " and the missing files' names,
    // joined with ", ".
    static Failure missingMedia(std::vector<FileURL> urls);

    Kind kind() const { return kind_; }
    const std::vector<FileURL>& urls() const { return urls_; }

  private:
    Failure(Kind kind, std::vector<FileURL> urls, const std::string& description);
    Kind kind_;
    std::vector<FileURL> urls_;
  };

  struct Prepared {
    DesignTemplate designTemplate; // with its media restored and its stickers pointing at them
    std::filesystem::path imageURL;
  };

  // Reads the template, restores its embedded media, renders its canvas at scale 1 to
  // `outputFolder`/Halyard_Template_Background.png (creating the folder) and sends the note
  // "Template background rendered from <file name>". Throws Failure when a sticker's picture is
  // missing, and the template's read, decoding and rendering errors as they are.
  static Prepared prepare(const std::filesystem::path& templateURL,
                          const std::filesystem::path& outputFolder);
};

} // namespace halyard
