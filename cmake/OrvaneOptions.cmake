# Build configuration values. The design has no configuration file or command line: these are
# compiled in. The defaults point at the lab on loopback, so a fresh checkout runs end to end.
set(ORVANE_VOICE_SERVER "127.0.0.1" CACHE STRING "IPv4 address of the voice server")
set(ORVANE_WEB_HOST "localhost" CACHE STRING "Host name of the web server")
set(ORVANE_WEB_PORT "44300" CACHE STRING "TCP port of the web server (443 in production)")
set(ORVANE_WEB_CA_FILE "" CACHE STRING "Extra certificate authority (PEM) trusted for the web server")
set(ORVANE_DOC_URL "https://localhost:44300/FR-Orvane.php" CACHE STRING "Documentation page")
set(ORVANE_INSTALLER_URL "https://localhost:44300/installer.php" CACHE STRING "Installer page")
set(ORVANE_PROGRAMS_DIR "" CACHE STRING "Linux: the folder Parlo is found in, <it>/parlo (empty: beside the program, build/run/Orvane or ../libexec/orvane)")

option(ORVANE_BUILD_TESTS "Build the tests" ON)
option(ORVANE_BUILD_BENCH "Build the benchmarks" ON)
option(ORVANE_BUILD_FUZZ "Build the fuzz targets (needs clang)" OFF)
option(ORVANE_WERROR "Treat warnings as errors" OFF)
set(ORVANE_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address' (ASan+UBSan) or 'thread'")

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra)
if(ORVANE_WERROR)
  add_compile_options(-Werror)
endif()

if(ORVANE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ORVANE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# The fuzz build instruments every library for coverage, not only the fuzz targets themselves.
if(ORVANE_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
