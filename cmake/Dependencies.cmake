# Third-party libraries, all from the system's package manager (scripts/bootstrap installs them).
# They are gathered on interface targets whose include directories are SYSTEM so that our warning
# flags never apply to their headers: bosun::deps for the product (HalyardCore and what links it),
# bosun::<part>_deps for each part that bosun loads as a module (artwork, documents, appcast,
# collation: their libraries stay off its start-up), and bosun::macsim_deps for the stand-in
# tools, which use only a few of them.

find_package(PkgConfig REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(fmt REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n data)
find_package(LibXml2 REQUIRED)
find_package(LibArchive REQUIRED)
find_package(CURL REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(PANGO REQUIRED IMPORTED_TARGET pangocairo fontconfig)
pkg_check_modules(PIXBUF REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0)
pkg_check_modules(RSVG REQUIRED IMPORTED_TARGET librsvg-2.0)
pkg_check_modules(POPPLER REQUIRED IMPORTED_TARGET poppler-cpp)
pkg_check_modules(GSF REQUIRED IMPORTED_TARGET libgsf-1)
# SHA-256 comes from nettle: it loads in a fraction of the time libcrypto takes at every start.
pkg_check_modules(NETTLE REQUIRED IMPORTED_TARGET nettle)
# Ed25519 (signing update files) is in nettle's public-key half, hogweed (with GMP).
pkg_check_modules(HOGWEED REQUIRED IMPORTED_TARGET hogweed)

add_library(bosun_deps INTERFACE)
add_library(bosun::deps ALIAS bosun_deps)
target_link_libraries(bosun_deps INTERFACE
  nlohmann_json::nlohmann_json
  fmt::fmt
  ICU::uc ICU::data
  PkgConfig::NETTLE
  Threads::Threads
  PkgConfig::PLIST)

add_library(bosun_artwork_deps INTERFACE)
add_library(bosun::artwork_deps ALIAS bosun_artwork_deps)
target_link_libraries(bosun_artwork_deps INTERFACE
  PkgConfig::CAIRO PkgConfig::PNG PkgConfig::PANGO PkgConfig::PIXBUF PkgConfig::RSVG)

add_library(bosun_documents_deps INTERFACE)
add_library(bosun::documents_deps ALIAS bosun_documents_deps)
target_link_libraries(bosun_documents_deps INTERFACE
  PkgConfig::POPPLER PkgConfig::GSF LibXml2::LibXml2 LibArchive::LibArchive)

add_library(bosun_appcast_deps INTERFACE)
add_library(bosun::appcast_deps ALIAS bosun_appcast_deps)
target_link_libraries(bosun_appcast_deps INTERFACE LibXml2::LibXml2 PkgConfig::HOGWEED)

add_library(bosun_collation_deps INTERFACE)
add_library(bosun::collation_deps ALIAS bosun_collation_deps)
target_link_libraries(bosun_collation_deps INTERFACE ICU::i18n)

add_library(bosun_macsim_deps INTERFACE)
add_library(bosun::macsim_deps ALIAS bosun_macsim_deps)
target_link_libraries(bosun_macsim_deps INTERFACE
  nlohmann_json::nlohmann_json
  LibXml2::LibXml2
  LibArchive::LibArchive
  Threads::Threads
  PkgConfig::PLIST)

# libcurl is loaded with dlopen when self-update first uses the network, so a plain run never pays
# for loading it: only its headers are needed at build time.
get_target_property(curl_include_dirs CURL::libcurl INTERFACE_INCLUDE_DIRECTORIES)
target_include_directories(bosun_deps SYSTEM INTERFACE ${curl_include_dirs})
target_link_libraries(bosun_deps INTERFACE ${CMAKE_DL_LIBS})

# Mark every dependency's include directories as system headers. The whole core library sees the
# drawing libraries' headers (its artwork types name cairo's), without linking them.
foreach(dep IN ITEMS PkgConfig::PLIST PkgConfig::CAIRO PkgConfig::PNG PkgConfig::PANGO PkgConfig::PIXBUF
                     PkgConfig::RSVG PkgConfig::POPPLER PkgConfig::GSF PkgConfig::NETTLE
                     PkgConfig::HOGWEED)
  get_target_property(dirs ${dep} INTERFACE_INCLUDE_DIRECTORIES)
  if(dirs)
    target_include_directories(bosun_deps SYSTEM INTERFACE ${dirs})
  endif()
endforeach()
foreach(dep IN ITEMS PkgConfig::PLIST)
  get_target_property(dirs ${dep} INTERFACE_INCLUDE_DIRECTORIES)
  if(dirs)
    target_include_directories(bosun_macsim_deps SYSTEM INTERFACE ${dirs})
  endif()
endforeach()
