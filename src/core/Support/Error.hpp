#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace halyard {

// The base of every error the core library throws: a domain naming the component, a numeric
// code, and a printable description (returned by what()).
class Error : public std::runtime_error {
public:
  Error(std::string domain, int code, const std::string& description)
      : std::runtime_error(description), domain_(std::move(domain)), code_(code) {}

  const std::string& domain() const noexcept { return domain_; }
  int code() const noexcept { return code_; }
  std::string description() const { return what(); }

private:
  std::string domain_;
  int code_;
};

} // namespace halyard
