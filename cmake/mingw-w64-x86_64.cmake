# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX threads, for std::thread),
# against the libraries that tools/windows/toolchain builds. They are in
# ${XDG_CACHE_HOME:-$HOME/.cache}/momiru-windows/<key>, <key> being the first 16 hex digits of
# the SHA-256 of that script (or $MOMIRU_WINDOWS_KEY), so the build always takes what the
# current recipe made; MOMIRU_WINDOWS_PREFIX names the folder outright.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MOMIRU_WINDOWS_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MOMIRU_WINDOWS_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MOMIRU_WINDOWS_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${MOMIRU_WINDOWS_HOST}-windres)

if(NOT MOMIRU_WINDOWS_PREFIX)
  if(DEFINED ENV{MOMIRU_WINDOWS_PREFIX})
    set(MOMIRU_WINDOWS_PREFIX "$ENV{MOMIRU_WINDOWS_PREFIX}")
  else()
    if(DEFINED ENV{MOMIRU_WINDOWS_KEY})
      set(key "$ENV{MOMIRU_WINDOWS_KEY}")
    else()
      file(SHA256 "${CMAKE_CURRENT_LIST_DIR}/../tools/windows/toolchain" key)
      string(SUBSTRING "${key}" 0 16 key)
    endif()
    if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
      set(cache "$ENV{XDG_CACHE_HOME}")
    else()
      set(cache "$ENV{HOME}/.cache")
    endif()
    set(MOMIRU_WINDOWS_PREFIX "${cache}/momiru-windows/${key}")
  endif()
endif()
set(MOMIRU_WINDOWS_PREFIX "${MOMIRU_WINDOWS_PREFIX}" CACHE PATH
    "Where tools/windows/toolchain installed the Windows libraries")
if(NOT EXISTS "${MOMIRU_WINDOWS_PREFIX}/stamps")
  message(FATAL_ERROR "No Windows libraries in ${MOMIRU_WINDOWS_PREFIX}: run tools/windows/toolchain")
endif()

# The compilers' own files and the prefix, and nothing of the build machine's; its programs
# (moc, msgfmt, python) are still found on its path.
set(CMAKE_FIND_ROOT_PATH /usr/${MOMIRU_WINDOWS_HOST} "${MOMIRU_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${MOMIRU_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(ENV{PKG_CONFIG_PATH} "")
# Qt's tools run on the build machine: the host's Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
# Boost is used for its headers only.
set(Boost_INCLUDE_DIR "${MOMIRU_WINDOWS_PREFIX}/include")
set(Boost_NO_BOOST_CMAKE ON)

# The test programs run under Wine.
find_program(MOMIRU_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(MOMIRU_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${MOMIRU_WINE}")
endif()
