#include "core/Process/CleanupRegistry.hpp"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

namespace halyard {

CleanupRegistry& CleanupRegistry::shared() {
  static CleanupRegistry* registry = new CleanupRegistry(); // used until the process ends
  return *registry;
}

CleanupRegistry::Entry::Entry(Entry&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)), key_(other.key_) {}

CleanupRegistry::Entry& CleanupRegistry::Entry::operator=(Entry&& other) noexcept {
  if (this != &other) {
    release();
    registry_ = std::exchange(other.registry_, nullptr);
    key_ = other.key_;
  }
  return *this;
}

bool CleanupRegistry::Entry::undo() noexcept {
  if (registry_ == nullptr) return true;
  const bool gone = registry_->undoKey(key_);
  if (gone) registry_ = nullptr;
  return gone;
}

bool CleanupRegistry::Entry::release() noexcept {
  auto* registry = std::exchange(registry_, nullptr);
  return registry != nullptr && registry->remove(key_);
}

CleanupRegistry::Entry CleanupRegistry::add(std::string thing, Undo undo, Kind kind) {
  const std::lock_guard guard(lock_);
  const auto key = nextKey_++;
  registrations_.emplace(key, Registration{std::move(thing), std::move(undo), kind});
  return Entry(this, key);
}

CleanupRegistry::Entry CleanupRegistry::addPath(const std::filesystem::path& path) {
  return add(path.string(), [path] {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !std::filesystem::exists(std::filesystem::symlink_status(path, error));
  });
}

bool CleanupRegistry::undoKey(std::uint64_t key) noexcept {
  Undo undo;
  {
    const std::lock_guard guard(lock_);
    const auto found = registrations_.find(key);
    // Taken by another undo (the signal's, say), which answers for it.
    if (found == registrations_.end() || found->second.undoing) return true;
    found->second.undoing = true;
    undo = found->second.undo;
  }
  bool gone = false;
  try {
    gone = !undo || undo();
  } catch (...) {
  }
  const std::lock_guard guard(lock_);
  if (gone)
    registrations_.erase(key);
  else if (const auto found = registrations_.find(key); found != registrations_.end())
    found->second.undoing = false;
  return gone;
}

bool CleanupRegistry::remove(std::uint64_t key) noexcept {
  const std::lock_guard guard(lock_);
  const auto found = registrations_.find(key);
  // One being undone is left to its undo, which removes it when it is gone.
  if (found == registrations_.end() || found->second.undoing) return false;
  registrations_.erase(found);
  return true;
}

void CleanupRegistry::undoAll(std::optional<Kind> only) noexcept {
  std::set<std::uint64_t> tried; // each thing once: one that would not go is not retried
  while (true) {
    std::uint64_t key = 0;
    {
      const std::lock_guard guard(lock_);
      // The newest untried: one registered meanwhile is newer than all, and comes next.
      for (auto found = registrations_.rbegin(); found != registrations_.rend(); ++found) {
        if (!found->second.undoing && !tried.contains(found->first) &&
            (!only || found->second.kind == *only)) {
          key = found->first;
          break;
        }
      }
    }
    if (key == 0) return;
    tried.insert(key);
    undoKey(key);
  }
}

std::vector<std::string> CleanupRegistry::leftBehind(std::optional<Kind> only,
                                                     bool evenBeingUndone) const {
  std::vector<std::string> things;
  const std::lock_guard guard(lock_);
  for (const auto& [key, registration] : registrations_)
    if (!registration.thing.empty() && (!only || registration.kind == *only) &&
        (evenBeingUndone || !registration.undoing))
      things.push_back(registration.thing);
  return things;
}

bool CleanupRegistry::holds(Kind kind, std::string_view thing) const {
  const std::lock_guard guard(lock_);
  return std::any_of(registrations_.begin(), registrations_.end(), [&](const auto& entry) {
    return entry.second.kind == kind && entry.second.thing == thing;
  });
}

} // namespace halyard
