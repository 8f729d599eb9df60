#include "core/Inspection/InspectionFileFields.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Process/ExtendedAttributes.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

bool InspectionFileFields::isReadableFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return false;
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  ::close(descriptor);
  return true;
}

std::string InspectionFileFields::formattedSize(std::uintmax_t bytes) {
  if (bytes == 1) return "1 byte";
  if (bytes < 1000) return std::to_string(bytes) + " bytes";
  const double kilobytes = static_cast<double>(bytes) / 1000.0;
  if (kilobytes < 999.5) return fmt::format("{:.0f} KB", kilobytes);
  const double megabytes = kilobytes / 1000.0;
  if (megabytes < 999.95) return fmt::format("{:.1f} MB", megabytes);
  const double gigabytes = megabytes / 1000.0;
  if (gigabytes < 999.995) return fmt::format("{:.2f} GB", gigabytes);
  return fmt::format("{:.2f} TB", gigabytes / 1000.0);
}

InspectionFileFields InspectionFileFields::make(const std::filesystem::path& file,
                                                InspectionFileKind kind,
                                                const InspectionRunner::Function& run) {
  using Catalogue = InspectionFieldCatalogue;
  using ID = InspectionFieldID;
  using S = InspectionStatus;
  const std::string kindWord(rawValue(kind));

  InspectionFileFields result;
  result.readable = isReadableFile(file);
  result.fields.push_back(Catalogue::field(
      ID::accessibility, kind,
      kindWord + (result.readable ? " is present and readable." : " could not be read."),
      result.readable ? S::pass : S::fail, file.string()));

  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  result.fields.push_back(
      Catalogue::field(ID::fileSize, kind, error ? "Unavailable" : formattedSize(size), S::info));

  std::string digest = "Could not generate the file hash.";
  if (result.readable) {
    try {
      digest = SHA256::hexDigestOfFile(file);
    } catch (const Error&) {
    }
  }
  result.fields.push_back(Catalogue::field(ID::sha256, kind, digest, S::info));

  const auto quarantine = ExtendedAttributes::read(
      file, "com.apple.quarantine", InspectionRunner::bound(run, InspectionRunner::queryLimit));
  if (quarantine) {
    result.fields.push_back(Catalogue::field(ID::quarantine, kind,
                                             "Present (downloaded from the internet)", S::info,
                                             text::trimmed(*quarantine)));
  } else {
    result.fields.push_back(Catalogue::field(ID::quarantine, kind, "Not present", S::info));
  }
  return result;
}

} // namespace halyard
