#include "Knobs.hpp"

#include "Output.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace macsim {

namespace {

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

void printWithNewline(const std::string& text, bool standardError) {
  if (text.empty()) return;
  const std::string line = text.back() == '\n' ? text : text + "\n";
  if (standardError)
    Output::err(line);
  else
    Output::out(line);
}

} // namespace

std::optional<std::string> Knobs::value(const std::string& name) {
  const char* text = std::getenv(name.c_str());
  if (text == nullptr || *text == '\0') return std::nullopt;
  return std::string(text);
}

std::optional<int> Knobs::apply(const std::string& tool,
                                const std::vector<std::string>& arguments) {
  const std::string prefix = "MACSIM_" + upper(tool) + "_";
  if (auto word = value(prefix + "WHEN")) {
    if (std::find(arguments.begin(), arguments.end(), *word) == arguments.end())
      return std::nullopt;
  }
  if (auto delay = value(prefix + "DELAY")) {
    char* end = nullptr;
    const double seconds = std::strtod(delay->c_str(), &end);
    if (seconds > 0)
      std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 86400.0)));
  }
  if (auto status = value(prefix + "FAIL")) {
    printWithNewline(value(prefix + "STDOUT").value_or(""), false);
    printWithNewline(value(prefix + "STDERR").value_or(""), true);
    return std::atoi(status->c_str());
  }
  return std::nullopt;
}

bool Knobs::offline() {
  auto text = value("MACSIM_OFFLINE");
  return text && *text != "0";
}

bool Knobs::forcedInvalid() {
  auto text = value("MACSIM_NOTARY_VERDICT");
  return text && upper(*text) == "INVALID";
}

bool Knobs::keychainLocked() {
  auto text = value("MACSIM_KEYCHAIN_LOCKED");
  return text && *text != "0";
}

int Knobs::busyEjects() {
  auto text = value("MACSIM_BUSY_EJECTS");
  return text ? std::max(0, std::atoi(text->c_str())) : 0;
}

int Knobs::ticketPropagationStaples() {
  auto text = value("MACSIM_TICKET_PROPAGATION");
  return text ? std::max(0, std::atoi(text->c_str())) : 0;
}

double Knobs::notaryProcessingSeconds() {
  auto text = value("MACSIM_NOTARY_PROCESSING");
  return text ? std::clamp(std::strtod(text->c_str(), nullptr), 0.0, 86400.0) : 0.0;
}

bool Knobs::notaryWaitHangs() {
  auto text = value("MACSIM_NOTARY_WAIT_HANGS");
  return text && *text != "0";
}

int Knobs::notaryInfoFailures() {
  auto text = value("MACSIM_NOTARY_INFO_FAILS");
  return text ? std::max(0, std::atoi(text->c_str())) : 0;
}

bool Knobs::mismatchedTickets() {
  auto text = value("MACSIM_MISMATCHED_TICKETS");
  return text && *text != "0";
}

bool Knobs::stuckVolumes() {
  auto text = value("MACSIM_STUCK_VOLUMES");
  return text && *text != "0";
}

} // namespace macsim
