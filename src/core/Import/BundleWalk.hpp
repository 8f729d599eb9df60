#pragma once

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

namespace halyard {

// Walks the items below a folder the way the import looks at an app bundle: recursively, in
// byte order of the names within each folder, skipping hidden items (names starting with a dot)
// and never descending into packages (app, plug-in and other bundles the Finder shows as one
// file). Symbolic links are reported as links and never followed, so a link inside a hostile
// bundle can neither lead the walk outside the bundle nor be mistaken for what it points at.
class BundleWalk {
public:
  enum class Type { directory, regularFile, symbolicLink, other };

  struct Item {
    std::filesystem::path path;
    std::string name;
    Type type = Type::other;
    // The permission bits from lstat (only read when asked for).
    bool isExecutableFile() const;
    bool isDirectory() const { return type == Type::directory; }

    int parentDescriptor = -1; // the open folder that holds the item
  };

  // What the visitor wants next.
  enum class Step { proceed, skipChildren, stop };

  // Calls `visit` for every item below `folder`. A missing or unreadable folder visits nothing.
  // Returns false when the visitor stopped the walk.
  static bool walk(const std::filesystem::path& folder,
                   const std::function<Step(const Item&)>& visit);

  // A folder the Finder treats as a package, by its extension (any letter case). Frameworks are
  // ordinary folders to the Finder.
  static bool isPackageName(const std::string& name);

  // Whether the (lower-cased) text ends with `suffix`, or with any of `suffixes`.
  static bool endsWith(const std::string& lowered, const char* suffix);
  static bool endsWithAny(const std::string& lowered, std::initializer_list<const char*> suffixes);

  // Whether `item` lies below `container` (by path, component-wise; never the container itself).
  static bool isInside(const std::filesystem::path& item, const std::filesystem::path& container);
};

} // namespace halyard
