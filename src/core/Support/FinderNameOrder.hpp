#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// The order in which the Finder lists file names: letter case ignored, accents respected, runs of
// digits compared by their numeric value ("Doc 2" before "Doc 10"). Names that compare equal this
// way ("eula.md", "EULA.md") fall back to their bytes, so the order is total and repeatable.
// Names that are not valid UTF-8 are compared with the bad bytes read as U+FFFD.
class FinderNameOrder {
public:
  // Throws ModuleLoadError when the collation cannot be loaded.
  FinderNameOrder();
  ~FinderNameOrder();
  FinderNameOrder(const FinderNameOrder&) = delete;
  FinderNameOrder& operator=(const FinderNameOrder&) = delete;

  // True when `a` sorts before `b`.
  bool operator()(std::string_view a, std::string_view b) const;

  // The collation key of a name: byte-wise comparison of two keys gives the order above, up to
  // the final byte tie-break. Empty when the collator is unavailable.
  std::string sortKey(std::string_view name) const;

  // Sorts the paths by their last component.
  static void sortByFileName(std::vector<std::filesystem::path>& paths);

private:
  struct Collator;
  std::unique_ptr<Collator> collator_;
};

} // namespace halyard
