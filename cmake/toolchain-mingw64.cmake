# Cross build for 64-bit Windows with mingw-w64 (Debian's g++-mingw-w64-x86-64-posix).
# The posix thread model gives std::thread and std::mutex; libgcc and libstdc++ are linked
# statically so that the programs need no toolchain DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLE}-windres)

# The cross-built libraries (libopus, GoogleTest) live in one prefix made by scripts/cross-deps.sh.
set(ORVANE_WIN64_PREFIX "$ENV{HOME}/.cache/orvane-win64" CACHE PATH "Prefix of the cross-built libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLE} ${ORVANE_WIN64_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see only the cross prefix, never the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${ORVANE_WIN64_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The prefix's include folder is a system folder, as /usr/include is natively (<opus/opus.h>).
set(CMAKE_C_FLAGS_INIT "-isystem ${ORVANE_WIN64_PREFIX}/include")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${ORVANE_WIN64_PREFIX}/include")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
# libopus's configure builds it with _FORTIFY_SOURCE, whose checked copies live in libssp
# (linked statically, like the rest).
set(CMAKE_C_STANDARD_LIBRARIES "-lssp" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lssp" CACHE STRING "")
# Unicode Win32 entry points (the W functions) everywhere.
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601)
# Tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
