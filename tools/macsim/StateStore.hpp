#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace macsim {

// The stand-ins' shared state: JSON documents under var/macsim, read and changed under one
// advisory lock so that tools running at the same time never lose each other's changes.
class StateStore {
public:
  explicit StateStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The document `name` (a path relative to the state folder); `fallback` when it is absent.
  nlohmann::json read(const std::string& name, const nlohmann::json& fallback) const;
  // Reads, changes and writes back one document while holding the lock.
  void update(const std::string& name, const nlohmann::json& fallback,
              const std::function<void(nlohmann::json&)>& change) const;

  const std::filesystem::path& folder() const { return folder_; }

private:
  std::filesystem::path folder_;
};

} // namespace macsim
