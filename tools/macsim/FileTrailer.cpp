#include "FileTrailer.hpp"

#include <array>
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
  std::string payload = metadata.dump();
  std::string footer(8, '\0');
  std::uint64_t length = payload.size();
  for (int i = 7; i >= 0; --i) {
    footer[static_cast<size_t>(i)] = static_cast<char>(length & 0xFF);
    length >>= 8;
  }
  return payload + footer + std::string(marker);
}

void FileTrailer::write(const fs::path& path, const nlohmann::json& metadata) {
  const auto current = read(path);
  if (::truncate(path.c_str(), static_cast<off_t>(current.contentLength)) != 0)
    throw std::runtime_error(path.string() + ": " + std::strerror(errno));
  const std::string bytes = encode(metadata);
  if (bytes.empty()) return;
  std::ofstream stream(path, std::ios::binary | std::ios::app);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw std::runtime_error(path.string() + ": could not be written");
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
