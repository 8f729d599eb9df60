#pragma once

// A PDF written by hand for the tests and benchmarks of the PDF reader: one page per content
// stream, Helvetica with the Windows ANSI encoding as font F1, and a cross-reference table that
// holds the objects' real offsets.

#include <cstddef>
#include <string>
#include <vector>

namespace bosun::testing {

inline std::string minimalPDF(const std::vector<std::string>& pageContents,
                              const std::string& mediaBox) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                                      "/Encoding /WinAnsiEncoding >>"};
  std::string kids;
  for (const auto& content : pageContents) {
    const std::size_t page = objects.size() + 1;
    kids += std::to_string(page) + " 0 R ";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [" + mediaBox +
                      "] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                      std::to_string(page + 1) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                      "\nendstream");
  }
  objects[1] =
      "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageContents.size()) + " >>";

  std::string file = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t index = 0; index < objects.size(); ++index) {
    offsets.push_back(file.size());
    file += std::to_string(index + 1) + " 0 obj\n" + objects[index] + "\nendobj\n";
  }
  const std::size_t xref = file.size();
  file += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    const std::string number = std::to_string(offset);
    file += std::string(10 - number.size(), '0') + number + " 00000 n \n";
  }
  file += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
          " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return file;
}

} // namespace bosun::testing
