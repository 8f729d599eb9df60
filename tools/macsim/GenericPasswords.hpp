#pragma once

#include "StateStore.hpp"

#include <optional>
#include <string>

namespace macsim {

// The generic-password items of the stand-in login keychain (service and account name a
// password), kept in var/macsim/generic-passwords.json. Tools keep secrets of their own here, as
// the updater's key tool keeps its signing key; the stand-in root is test equipment, so the file
// is plain JSON readable by its owner only.
class GenericPasswords {
public:
  explicit GenericPasswords(const StateStore& store) : store_(store) {}

  // False when an item for the service and account exists and `replace` is not set.
  bool add(const std::string& service, const std::string& account, const std::string& password,
           bool replace) const;
  // The first item matching the given service and account (an absent one matches any).
  struct Item {
    std::string service;
    std::string account;
    std::string password;
  };
  std::optional<Item> find(const std::optional<std::string>& service,
                           const std::optional<std::string>& account) const;

private:
  const StateStore& store_;
};

} // namespace macsim
