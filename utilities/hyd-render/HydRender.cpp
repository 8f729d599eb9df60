// hyd-render: draws a Designer template's canvas to a PNG with HalyardCore, for template authors
// and for tests.
//
//   hyd-render TEMPLATE.hyd OUT.png [--scale N]
//
// Embedded pictures are restored to the media cache first. Exit status 0 on success, 1 when the
// template cannot be read or drawn, 2 for a usage error.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Design/DesignRenderer.hpp"
#include "core/Design/DesignTemplate.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/HalyardCoreLog.hpp"

namespace {

int usage() {
  std::fprintf(stderr, "usage: hyd-render TEMPLATE.hyd OUT.png [--scale N]\n");
  return 2;
}

bool parseScale(const std::string& text, double& scale) {
  errno = 0;
  char* end = nullptr;
  scale = std::strtod(text.c_str(), &end);
  return errno == 0 && end != text.c_str() && *end == '\0' && std::isfinite(scale) && scale > 0;
}

} // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string output;
  double scale = 1.0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--scale") {
      if (i + 1 >= argc || !parseScale(argv[++i], scale)) return usage();
    } else if (argument.rfind("--scale=", 0) == 0) {
      if (!parseScale(std::string(argument.substr(8)), scale)) return usage();
    } else if (argument == "-h" || argument == "--help") {
      usage();
      return 0;
    } else if (input.empty()) {
      input = argument;
    } else if (output.empty()) {
      output = argument;
    } else {
      return usage();
    }
  }
  if (input.empty() || output.empty()) return usage();

  halyard::HalyardCoreLog::note = [](const std::string& message) {
    std::fprintf(stderr, "hyd-render: %s\n", message.c_str());
  };
  try {
    const auto design = halyard::DesignTemplate::load(input).restored();
    for (const auto& url : design.missingMedia()) {
      std::fprintf(stderr, "hyd-render: missing picture %s\n", url.absoluteString().c_str());
    }
    halyard::DesignRenderer::renderPNG(design.canvas, scale, output);
  } catch (const halyard::Error& error) {
    std::fprintf(stderr, "hyd-render: %s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "hyd-render: %s\n", error.what());
    return 1;
  }
  return 0;
}
