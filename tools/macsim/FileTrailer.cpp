#include "FileTrailer.hpp"

#include "ExtendedAttributes.hpp"
#include "UUID.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <unistd.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr std::string_view marker = "MACSIMT1";
constexpr std::uint64_t footerSize = 16;

} // namespace

FileTrailer::Contents FileTrailer::read(const fs::path& path) {
  Contents contents;
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) throw std::runtime_error(path.string() + ": " + error.message());
  contents.contentLength = size;
  if (size < footerSize) return contents;
  std::ifstream stream(path, std::ios::binary);
  std::array<char, footerSize> footer{};
  stream.seekg(static_cast<std::streamoff>(size - footerSize));
  stream.read(footer.data(), footer.size());
  if (!stream || std::string_view(footer.data() + 8, 8) != marker) return contents;
  std::uint64_t length = 0;
  for (int i = 0; i < 8; ++i)
    length = (length << 8) | static_cast<unsigned char>(footer[i]);
  if (length > size - footerSize) return contents;
  std::string payload(length, '\0');
  stream.seekg(static_cast<std::streamoff>(size - footerSize - length));
  stream.read(payload.data(), static_cast<std::streamsize>(length));
  auto metadata = nlohmann::json::parse(payload, nullptr, false);
  if (!stream || metadata.is_discarded() || !metadata.is_object()) return contents;
  contents.contentLength = size - footerSize - length;
  contents.metadata = std::move(metadata);
  return contents;
}

std::string FileTrailer::encode(const nlohmann::json& metadata) {
  if (metadata.empty()) return {};
  std::string payload = metadata.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string footer(8, '\0');
  std::uint64_t length = payload.size();
  for (int i = 7; i >= 0; --i) {
    footer[static_cast<size_t>(i)] = static_cast<char>(length & 0xFF);
    length >>= 8;
  }
  return payload + footer + std::string(marker);
}

void FileTrailer::write(const fs::path& path, const nlohmann::json& metadata) {
  // The new version is made beside the file and renamed over it, so that an interrupted tool
  // never leaves a file whose trailer (a disk image's properties, a signature) is cut off.
  const auto current = read(path);
  const fs::path temporary =
      path.parent_path() / ("." + path.filename().string() + "." + UUID::make() + ".tmp");
  std::error_code error;
  fs::copy_file(path, temporary, fs::copy_options::overwrite_existing, error);
  if (!error && ::truncate(temporary.c_str(), static_cast<off_t>(current.contentLength)) != 0)
    error = std::error_code(errno, std::generic_category());
  if (!error) {
    const std::string bytes = encode(metadata);
    std::ofstream stream(temporary, std::ios::binary | std::ios::app);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream.flush();
    if (!stream) error = std::make_error_code(std::errc::io_error);
  }
  if (!error) {
    ExtendedAttributes::copy(path, temporary);
    fs::rename(temporary, path, error);
  }
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw std::runtime_error(path.string() + ": " + error.message());
  }
}

std::string FileTrailer::content(const fs::path& path) {
  const auto current = read(path);
  std::ifstream stream(path, std::ios::binary);
  std::string bytes(current.contentLength, '\0');
  stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw std::runtime_error(path.string() + ": cannot be read");
  return bytes;
}

} // namespace macsim
