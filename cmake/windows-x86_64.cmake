# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# The libraries built by scripts/windows-toolchain live in ORDAVEL_WINDOWS_PREFIX
# (a cache variable, or the environment variable of the same name).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

if(NOT ORDAVEL_WINDOWS_PREFIX AND DEFINED ENV{ORDAVEL_WINDOWS_PREFIX})
  set(ORDAVEL_WINDOWS_PREFIX "$ENV{ORDAVEL_WINDOWS_PREFIX}")
endif()
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORDAVEL_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${ORDAVEL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the Windows libraries, never for the host's.
set(ENV{PKG_CONFIG_LIBDIR} "${ORDAVEL_WINDOWS_PREFIX}/lib/pkgconfig:/usr/${_triple}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Programs built here run under Wine (try_run, gtest discovery).
find_program(ORDAVEL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(ORDAVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORDAVEL_WINE})
endif()
