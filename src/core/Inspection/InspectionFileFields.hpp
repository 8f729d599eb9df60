#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionModel.hpp"
#include "core/Inspection/InspectionRunner.hpp"

namespace halyard {

// The four facts of the "File" category and whether the file could be read.
struct InspectionFileFields {
  std::vector<InspectionField> fields; // accessibility, fileSize, sha256, quarantine
  bool readable = false;

  static InspectionFileFields make(const std::filesystem::path& file, InspectionFileKind kind,
                                   const InspectionRunner::Function& run);

  // A size for people, in decimal units: "512 bytes", "48 KB", "12.3 MB", "1.25 GB".
  static std::string formattedSize(std::uintmax_t bytes);

  // True when the path names a regular file (links followed) that can be opened for reading.
  static bool isReadableFile(const std::filesystem::path& file);
};

} // namespace halyard
