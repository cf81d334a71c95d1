# Cross-builds for macOS with Zig's C++ compiler, which brings macOS's libc
# headers, its system library stubs and libc++, so no Apple SDK is needed.
#
# NIMBRO_MACOS_ARCH picks the processor: aarch64 (Apple silicon) or x86_64.
# Zig comes from PyPI at the version pinned in zig-requirements.txt, installed
# on first use into a virtual environment under the user's cache directory,
# named for the hash of that file: every clone and build directory shares it,
# it survives a clean build, and a new pin gets a new environment.
# NIMBRO_ZIG_VENV points somewhere else.

set(CMAKE_SYSTEM_NAME Darwin)
set(NIMBRO_MACOS_ARCH "aarch64" CACHE STRING "Processor of the macOS build: aarch64 or x86_64")
set_property(CACHE NIMBRO_MACOS_ARCH PROPERTY STRINGS aarch64 x86_64)
if(NIMBRO_MACOS_ARCH STREQUAL "aarch64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
elseif(NIMBRO_MACOS_ARCH STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
else()
  message(FATAL_ERROR "NIMBRO_MACOS_ARCH must be aarch64 or x86_64, not '${NIMBRO_MACOS_ARCH}'")
endif()
# The compiler checks build small projects of their own, which read this file
# again; they need the same processor.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NIMBRO_MACOS_ARCH NIMBRO_ZIG_VENV)

set(_nimbro_requirements "${CMAKE_CURRENT_LIST_DIR}/zig-requirements.txt")
file(SHA256 "${_nimbro_requirements}" _nimbro_pin)
string(SUBSTRING "${_nimbro_pin}" 0 16 _nimbro_pin)
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(_nimbro_cache "$ENV{XDG_CACHE_HOME}")
else()
  set(_nimbro_cache "$ENV{HOME}/.cache")
endif()
set(NIMBRO_ZIG_VENV "${_nimbro_cache}/nimbro-zig/${_nimbro_pin}"
    CACHE PATH "Virtual environment holding the pinned ziglang")

set(_nimbro_bin "${NIMBRO_ZIG_VENV}/bin")
if(NOT EXISTS "${_nimbro_bin}/zig-c++")
  # Two build directories configured at once must not install into one
  # environment side by side.
  file(LOCK "${NIMBRO_ZIG_VENV}.lock" GUARD FILE)
  if(NOT EXISTS "${_nimbro_bin}/zig-c++")
    find_program(_nimbro_python NAMES python3 python REQUIRED)
    message(STATUS "Installing ziglang into ${NIMBRO_ZIG_VENV}")
    execute_process(COMMAND "${_nimbro_python}" -m venv --clear "${NIMBRO_ZIG_VENV}"
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${_nimbro_bin}/python" -m pip install --quiet --disable-pip-version-check
                            --no-deps --only-binary=:all: --require-hashes -r "${_nimbro_requirements}"
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB _nimbro_zig "${NIMBRO_ZIG_VENV}/lib/python*/site-packages/ziglang/zig")
    if(NOT _nimbro_zig)
      message(FATAL_ERROR "ziglang installed into ${NIMBRO_ZIG_VENV}, but its zig is missing")
    endif()
    # CMake runs its archiver and indexer as single programs; zig offers
    # them, and the compiler, as sub-commands. The compiler wrapper is
    # written last: it marks a complete environment.
    foreach(_nimbro_tool ar ranlib c++)
      file(WRITE "${_nimbro_bin}/zig-${_nimbro_tool}.tmp"
           "#!/bin/sh\nexec \"${_nimbro_zig}\" ${_nimbro_tool} \"$@\"\n")
      file(CHMOD "${_nimbro_bin}/zig-${_nimbro_tool}.tmp"
           FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                            WORLD_READ WORLD_EXECUTE)
      file(RENAME "${_nimbro_bin}/zig-${_nimbro_tool}.tmp" "${_nimbro_bin}/zig-${_nimbro_tool}")
    endforeach()
  endif()
  file(LOCK "${NIMBRO_ZIG_VENV}.lock" RELEASE)
endif()

# 11.0 is the first macOS for Apple silicon; older systems are not targeted.
set(CMAKE_CXX_COMPILER "${_nimbro_bin}/zig-c++" -target ${NIMBRO_MACOS_ARCH}-macos.11.0)
set(CMAKE_AR "${_nimbro_bin}/zig-ar" CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB "${_nimbro_bin}/zig-ranlib" CACHE FILEPATH "Archive indexer")
# The libc++ that Zig builds carries debug notes naming the paths of the
# machine that built it; a binary to hand out keeps none of them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-S")
# Zig finds its own macOS headers and libraries; there is no SDK to point at.
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
