#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace halyard {

// Reads files whose path came from outside (documents, pictures named in them). Only a regular
// file is read: a folder, a device, a FIFO or a socket is refused before any byte is read, so that
// a path such as /dev/zero or a named pipe can neither hang the reader nor exhaust memory. The
// file is opened read-only and never created, written or executed.
struct RegularFileReader {
  // 1 GiB, more than any document or picture this program deals with.
  static constexpr std::uintmax_t defaultLimit = std::uintmax_t{1} << 30;

  // The whole content. Throws halyard::Error (domain "Halyard.fileRead", code = errno or EFBIG
  // or EINVAL) when the file cannot be opened, is not a regular file, is larger than `limit`
  // bytes or cannot be read.
  static std::string read(const std::filesystem::path& path, std::uintmax_t limit = defaultLimit);
};

} // namespace halyard
