# Cross-compiling for Windows with MinGW-w64 (Debian's g++-mingw-w64-*-posix: posix threads, so that
# std::thread and friends are there). Not used directly: x86_64-w64-mingw32.cmake and
# i686-w64-mingw32.cmake set VX_MINGW_TRIPLE and VX_MINGW_PROCESSOR, then include this file.
#
# The libraries the project links are cross-built by scripts/windows-deps into one prefix each,
# cached outside the source tree; that script writes the list of prefixes to
# <cache>/<triple>/prefixes.cmake, which is read here. The cache is
# $VX_WINDOWS_DEPS_DIR/<triple>, by default ${XDG_CACHE_HOME:-$HOME/.cache}/vorthalimex/windows-deps.
# -DVX_WINDOWS_DEPS_FILE=<file> names another list; an empty value uses none (how the libraries
# themselves are built).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VX_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${VX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VX_MINGW_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Executables carry their C and C++ runtimes and winpthread, so that the only DLLs they need besides
# Windows' own are the ones the project ships on purpose; DLLs built here carry libgcc.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

if(NOT DEFINED VX_WINDOWS_DEPS_FILE)
  if(DEFINED ENV{VX_WINDOWS_DEPS_DIR} AND NOT "$ENV{VX_WINDOWS_DEPS_DIR}" STREQUAL "")
    set(vx_deps_root "$ENV{VX_WINDOWS_DEPS_DIR}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(vx_deps_root "$ENV{XDG_CACHE_HOME}/vorthalimex/windows-deps")
  else()
    set(vx_deps_root "$ENV{HOME}/.cache/vorthalimex/windows-deps")
  endif()
  set(VX_WINDOWS_DEPS_FILE "${vx_deps_root}/${VX_MINGW_TRIPLE}/prefixes.cmake")
endif()
# Toolchain files are read again by every try_compile: the choice travels with them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VX_WINDOWS_DEPS_FILE)

set(VX_WINDOWS_DEPS_PREFIXES "")
if(NOT VX_WINDOWS_DEPS_FILE STREQUAL "")
  if(NOT EXISTS "${VX_WINDOWS_DEPS_FILE}")
    message(FATAL_ERROR "No cross-built libraries for ${VX_MINGW_TRIPLE} (${VX_WINDOWS_DEPS_FILE} is "
                        "missing): run scripts/windows-deps first")
  endif()
  include("${VX_WINDOWS_DEPS_FILE}")   # sets VX_WINDOWS_DEPS_PREFIXES
endif()

# Headers, libraries and CMake packages come from the MinGW sysroot and those prefixes only; build
# tools (nasm, windres, the code generators) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VX_MINGW_TRIPLE} ${VX_WINDOWS_DEPS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the .pc files of the same places and nothing of the build machine's.
set(vx_pc_dirs "/usr/${VX_MINGW_TRIPLE}/lib/pkgconfig")
foreach(prefix IN LISTS VX_WINDOWS_DEPS_PREFIXES)
  list(APPEND vx_pc_dirs "${prefix}/lib/pkgconfig")
endforeach()
string(REPLACE ";" ":" vx_pc_dirs "${vx_pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${vx_pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "")

# Test programs run through Wine (ctest, gtest discovery at test time).
find_program(VX_WINE NAMES wine wine64 wine-stable)
if(VX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VX_WINE})
endif()
