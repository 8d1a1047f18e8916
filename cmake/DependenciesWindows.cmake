# The libraries of the Windows build (cross-built by scripts/windows-deps, found through the
# toolchain file in cmake/toolchains), under the same target names as on Linux. They are static
# but libmpg123, a DLL: static archives come before import libraries, and each package brings the
# libraries it needs itself (pkg-config's static view). The system's outline fonts come through
# GDI, so there is no fontconfig; the content generator and the benchmarks are Linux-only.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a .dll.a)

# windows.h without the parts that clash (rpcndr.h's `boolean` against jpeglib.h's), M_PI from
# math.h, which MinGW's strict C++17 mode hides, and a 64-bit off_t as on Linux (libmpg123 is built
# with it: its header then names the DLL's mpg123_open_64, mpg123_seek_64, ...).
add_compile_definitions(WIN32_LEAN_AND_MEAN _USE_MATH_DEFINES _FILE_OFFSET_BITS=64)

# The release zip's name (and its one folder's): vorthalimex-<version>-win64, or -win32.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VX_RELEASE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
else()
  set(VX_RELEASE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
endif()

# vx_static_package(NAME module [DROP flag...]): PkgConfig::NAME from pkg-config --static, less the
# DROP flags (compiler or linker ones).
function(vx_static_package name module)
  cmake_parse_arguments(P "" "" "DROP" ${ARGN})
  pkg_check_modules(${name} REQUIRED ${module})
  set(libraries)
  set(options)
  foreach(flag IN LISTS ${name}_STATIC_LDFLAGS)
    if(flag IN_LIST P_DROP)
      continue()
    elseif(flag MATCHES "^-l(.+)")
      set(lib ${CMAKE_MATCH_1})
      find_library(vx_${name}_${lib} NAMES ${lib} HINTS ${${name}_STATIC_LIBRARY_DIRS})
      if(vx_${name}_${lib})
        list(APPEND libraries ${vx_${name}_${lib}})
      else()
        list(APPEND libraries ${lib})   # a Windows system library, left to the linker
      endif()
    elseif(NOT flag MATCHES "^-L")
      list(APPEND options ${flag})
    endif()
  endforeach()
  set(cflags ${${name}_STATIC_CFLAGS_OTHER})
  if(P_DROP)
    list(REMOVE_ITEM cflags ${P_DROP})
  endif()
  add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(PkgConfig::${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${${name}_STATIC_INCLUDE_DIRS}"
    INTERFACE_COMPILE_OPTIONS "${cflags}"
    INTERFACE_LINK_LIBRARIES "${libraries}"
    INTERFACE_LINK_OPTIONS "${options}")
endfunction()

# SDL2 without SDL2main (and its -Dmain=SDL_main) and -mwindows: the programs have their own main(),
# and each chooses its subsystem (the show a window, the tools the console).
vx_static_package(SDL2 sdl2 DROP -lSDL2main -Dmain=SDL_main -mwindows -lmingw32)
vx_static_package(MPG123 libmpg123)
# libmpg123 is the one library linked as a DLL (LGPL 2.1: a user may swap in their own build). It
# goes next to the programs and tests in <build>/bin, as it does in the zip.
get_filename_component(vx_mpg123_bin "${MPG123_LIBDIR}/../bin" ABSOLUTE)
file(GLOB VX_WINDOWS_DLLS "${vx_mpg123_bin}/*mpg123*.dll")
if(NOT VX_WINDOWS_DLLS)
  message(FATAL_ERROR "No libmpg123 DLL in ${vx_mpg123_bin}: run scripts/windows-deps again")
endif()
file(COPY ${VX_WINDOWS_DLLS} DESTINATION ${CMAKE_BINARY_DIR}/bin)
vx_static_package(PNG libpng)
vx_static_package(FREETYPE freetype2)
find_package(JPEG REQUIRED)

# opengl32 and glu32: the import libraries and headers of MinGW-w64. opengl32 exports GL 1.1 only:
# a later entry point called directly fails to link, so those are looked up at run time.
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
if(NOT TARGET OpenGL::GLU)
  message(FATAL_ERROR "GLU not found (MinGW-w64's libglu32.a)")
endif()
add_library(vx_gl INTERFACE)
target_link_libraries(vx_gl INTERFACE OpenGL::GL OpenGL::GLU)
target_compile_definitions(vx_gl INTERFACE GL_GLEXT_PROTOTYPES)

# The tests: GoogleTest, and LAME, which makes their MP3 files (both cross-built for them only).
if(VX_TESTS)
  find_package(GTest REQUIRED CONFIG)
  include(GoogleTest)
  set(VX_LAME_HINT "scripts/windows-deps builds it for Windows")
  include(Lame)
endif()
