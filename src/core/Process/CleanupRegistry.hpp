#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// The process-wide list of what must be undone when work stops early: temporary folders, files
// written beside a target, attached images, steps that must come first (keeping a submission's
// file). Whatever makes such a thing registers it at once and lets go when the work is done; a
// failure path or the signal handler then undoes everything still registered, newest first.
// Running tools are the process registry's: cancellation stops them before this list is undone.
class CleanupRegistry {
public:
  // How one thing is undone: true once it is gone. May throw (taken as not gone).
  using Undo = std::function<bool()>;
  // Attached images are told apart: a command's end detaches those its failures left.
  enum class Kind { other, image };

  static CleanupRegistry& shared();

  // One registration, held by whoever made the thing. Letting it go (destruction, release())
  // takes the thing off the list and leaves it; undo() undoes it now.
  class Entry {
  public:
    Entry() = default;
    Entry(Entry&& other) noexcept;
    Entry& operator=(Entry&& other) noexcept;
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    ~Entry() { (void)release(); }

    // Whether it was registered and not yet let go of or undone by this holder.
    explicit operator bool() const { return registry_ != nullptr; }

    // Undoes the thing now, unless the registry already took it; true when it is gone (or was
    // taken). A thing that would not go stays registered, to be named as left behind.
    bool undo() noexcept;
    // Takes the thing off the list for its holder to deal with; false when the registry had
    // taken it to undo (it is gone or going).
    bool release() noexcept;
    // The holder lets go and leaves the thing registered, for the clean-up to undo.
    void leave() noexcept { registry_ = nullptr; }

  private:
    friend class CleanupRegistry;
    Entry(CleanupRegistry* registry, std::uint64_t key) : registry_(registry), key_(key) {}
    CleanupRegistry* registry_ = nullptr;
    std::uint64_t key_ = 0;
  };

  // `thing` names it in the warning about what was left (a folder's path, an image and its
  // mount point); empty for an action that leaves nothing by itself.
  Entry add(std::string thing, Undo undo, Kind kind = Kind::other);
  // A temporary file or folder, removed by the undo and named by its path.
  Entry addPath(const std::filesystem::path& path);

  // Undoes every registered thing (of one kind), newest first, including those registered
  // meanwhile, each outside the lock. Things that would not go stay registered. Never throws.
  void undoAll(std::optional<Kind> only = std::nullopt) noexcept;

  // The named things still registered (of one kind), oldest first; `evenBeingUndone` false leaves
  // out those an undo is at work on (in another thread), which may yet go.
  std::vector<std::string> leftBehind(std::optional<Kind> only = std::nullopt,
                                      bool evenBeingUndone = true) const;
  // Whether a thing of this kind and name is registered.
  bool holds(Kind kind, std::string_view thing) const;

private:
  struct Registration {
    std::string thing;
    Undo undo;
    Kind kind;
    bool undoing = false; // taken by an undo in progress
  };
  bool undoKey(std::uint64_t key) noexcept;
  bool remove(std::uint64_t key) noexcept;

  mutable std::mutex lock_;
  std::map<std::uint64_t, Registration> registrations_;
  std::uint64_t nextKey_ = 1;
};

} // namespace halyard
