# Warning and sanitizer flags live on interface targets, so that they reach our own code only and
# never the headers of third-party libraries (those come in as SYSTEM include directories).

add_library(bosun_warnings INTERFACE)
target_compile_options(bosun_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${BOSUN_WERROR}>:-Werror>)
# g++ 12 reports -Wrestrict for ordinary std::string concatenation at -O2 and above (a known
# false positive of that release); keep the warning for every other compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(bosun_warnings INTERFACE -Wno-restrict)
endif()

# Settings every target of the project shares (sanitizers when asked for).
add_library(bosun_settings INTERFACE)
# Test programs (BOSUN_TEST_CODE) are built with AddressSanitizer alone: the undefined-behaviour
# checks of thousands of assertion macros made a test file half as slow again to compile, and
# what they would find is in the tests, not in the code under test.
if(BOSUN_SANITIZE)
  target_compile_options(bosun_settings INTERFACE
    $<IF:$<BOOL:$<TARGET_PROPERTY:BOSUN_TEST_CODE>>,-fsanitize=address,-fsanitize=address$<COMMA>undefined>
    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(bosun_settings INTERFACE -fsanitize=address,undefined)
endif()
if(BOSUN_TSAN)
  target_compile_options(bosun_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(bosun_settings INTERFACE -fsanitize=thread)
endif()

# On Linux, LLVM's linker where it is installed: it links a test program in half the time of the
# GNU one, which adds up over the some hundred programs of the three CI builds. macOS keeps
# Apple's linker.
if(NOT APPLE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  find_program(BOSUN_LLD ld.lld)
  if(BOSUN_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# The compiler cache, told what it needs to cache sources that load a precompiled header (the
# tests' one): a header made anew in every build folder, whose defines match by construction.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(ccache_launcher "${CMAKE_COMMAND}" -E env
      "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime"
      "${CCACHE_PROGRAM}")
  set(CMAKE_CXX_COMPILER_LAUNCHER ${ccache_launcher})
  set(CMAKE_C_COMPILER_LAUNCHER ${ccache_launcher})
endif()
