#include "Clock.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace macsim {

namespace {

std::string formatUTC(std::time_t time, const char* format) {
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[64];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

std::time_t parseISO(const std::string& iso) {
  std::tm parts{};
  if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                  &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6)
    return std::time(nullptr);
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  return timegm(&parts);
}

} // namespace

std::string Clock::isoNow() {
  return isoOffset(0);
}

std::string Clock::isoOffset(long seconds) {
  return formatUTC(std::time(nullptr) + seconds, "%Y-%m-%dT%H:%M:%SZ");
}

std::string Clock::isoMillisecondsNow() {
  const auto now = std::chrono::system_clock::now();
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, ".%03dZ", static_cast<int>(milliseconds));
  return formatUTC(std::chrono::system_clock::to_time_t(now), "%Y-%m-%dT%H:%M:%S") + suffix;
}

std::string Clock::codesignDate(const std::string& iso) {
  const std::time_t time = parseISO(iso);
  std::tm parts{};
  localtime_r(&time, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%b %Y at %H:%M:%S", &parts);
  return std::to_string(parts.tm_mday) + " " + text;
}

std::string Clock::pkgutilDate(const std::string& iso) {
  return formatUTC(parseISO(iso), "%Y-%m-%d %H:%M:%S +0000");
}

} // namespace macsim
