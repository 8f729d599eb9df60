// Feeds arbitrary bytes to the decoder of the user and project configuration files. Whatever the
// bytes, decoding either succeeds or throws CLIConfiguration::CodingError; a decoded document
// encodes and decodes back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/settings/CLIConfiguration.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bosun::CLIConfiguration configuration;
  try {
    configuration = bosun::CLIConfiguration::decode(bytes);
  } catch (const bosun::CLIConfiguration::CodingError&) {
    return 0;
  }
  if (!(bosun::CLIConfiguration::decode(configuration.encoded()) == configuration)) std::abort();
  return 0;
}
