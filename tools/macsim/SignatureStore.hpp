#pragma once

#include "CodeLayout.hpp"
#include "CodeSignature.hpp"

#include <optional>
#include <string>

namespace macsim {

// Where signatures live: a bundle's _CodeSignature folder, or a single file's trailer.
struct SignatureStore {
  struct Stored {
    CodeSignature signature;
    bool intact = true; // the record still matches its own cdhash
  };

  static std::optional<Stored> read(const CodeLayout& layout);
  static void write(const CodeLayout& layout, const CodeSignature& signature,
                    const std::string& resourcesPlist);
  static bool remove(const CodeLayout& layout);
  // The digest a single file's signature binds: its bytes without the trailer, and for a disk
  // image also its license resources.
  static std::string fileCodeDigest(const std::filesystem::path& path);
};

} // namespace macsim
