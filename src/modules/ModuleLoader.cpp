// The drawing code, the document readers, the update feed's XML and signatures and the name
// collation loaded as modules on first use: what bosun uses, so that a run which needs none of
// them never loads their libraries.
// The modules take the core library's symbols from the program, which exports them.
//
// BOSUN_MODULE_DIR is where the modules are installed relative to the program's folder
// (<prefix>/bin to <prefix>/<libdir>/bosun); in the build tree they sit in lib/bosun inside the
// folder that holds the program. BOSUN_MODULE_SUFFIX is the platform's file name ending.

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <system_error>

#include "core/Appcast/AppcastFunctions.hpp"
#include "core/DMG/ArtworkFunctions.hpp"
#include "core/Legal/DocumentReaderFunctions.hpp"
#include "core/Support/CollationFunctions.hpp"
#include "core/Support/ModuleLoadError.hpp"
#include "core/Support/ResourceDirectory.hpp"

namespace halyard {

namespace {

struct LoadedModule {
  const void* table = nullptr;
  std::string failure;
};

LoadedModule load(const std::string& name, const char* entryName) {
  const std::string prefix = "The module " + name + " could not be loaded: ";
  // Never a path relative to the working folder: that would load whatever lies there.
  const auto executable = ResourceDirectory::executablePath();
  if (!executable) return {nullptr, prefix + "the program's own location is unknown."};
  const std::string fileName = name + BOSUN_MODULE_SUFFIX;
  const std::filesystem::path folder = executable->parent_path();
  std::filesystem::path chosen = folder / BOSUN_MODULE_DIR / fileName;
  const std::filesystem::path buildTree = folder / "lib" / "bosun" / fileName;
  std::error_code error;
  if (!std::filesystem::exists(chosen, error) && std::filesystem::exists(buildTree, error))
    chosen = buildTree;
  void* handle = ::dlopen(chosen.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    return {nullptr, prefix + (reason != nullptr ? reason : chosen.string())};
  }
  using Entry = const void* (*)();
  const auto entry = reinterpret_cast<Entry>(::dlsym(handle, entryName));
  if (entry == nullptr) {
    return {nullptr, prefix + chosen.string() + " has no " + entryName +
                         " (it belongs to another version of bosun)."};
  }
  return {entry(), {}};
}

template <typename Table> const Table& loaded() {
  static LoadedModule module;
  static std::once_flag once;
  std::call_once(once, [] { module = load(Table::moduleName, Table::entryName); });
  if (module.table == nullptr) throw ModuleLoadError(module.failure);
  return *static_cast<const Table*>(module.table);
}

} // namespace

const ArtworkFunctions& ArtworkFunctions::current() {
  return loaded<ArtworkFunctions>();
}

const DocumentReaderFunctions& DocumentReaderFunctions::current() {
  return loaded<DocumentReaderFunctions>();
}

const AppcastFunctions& AppcastFunctions::current() {
  return loaded<AppcastFunctions>();
}

const CollationFunctions& CollationFunctions::current() {
  return loaded<CollationFunctions>();
}

} // namespace halyard
