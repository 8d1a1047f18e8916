# Installation and the Debian package.
#
# `cmake --install <build>` puts the program and the tools in <prefix>/bin, the content pack (data/
# and blow.job from the run directory) in <prefix>/share/vorthalimex, where the program looks when
# its working directory has no content (<exe dir>/../share/vorthalimex), the manual pages, a
# desktop entry, an icon, the README, the copyright file and the changelog. The content pack is a build product: a build with VX_CONTENT_PACK on (the
# default) makes it, else `cmake --build <build> --target content-pack`; installing without it
# stops with a message saying so. `cpack` (or the `package` target) wraps the same files into a
# .deb whose dependencies dpkg-shlibdeps reads from the binaries.

# The content pack is checked before anything is installed, so that a build without it stops with
# a reason instead of a "cannot find" halfway.
set(vx_pack_required blow.job data/Vorthalimex.mp3 data/ballo.ob3 data/vorthlogo2b.jpg)
install(CODE "
  foreach(file ${vx_pack_required})
    if(NOT EXISTS \"${VX_RUN_DIR}/\${file}\")
      message(FATAL_ERROR \"The content pack is not in ${VX_RUN_DIR} (no \${file}): build it first with \"
                          \"'cmake --build ${CMAKE_BINARY_DIR} --target content-pack' (a build with \"
                          \"VX_CONTENT_PACK=ON makes it), then install again.\")
    endif()
  endforeach()")

# On Windows: a zip of one folder (cmake/PackagingWindows.cmake).
if(WIN32)
  include(PackagingWindows)
  return()
endif()
include(GNUInstallDirs)
find_program(VX_GZIP gzip REQUIRED)   # the manual pages and the changelog go in compressed

set(VX_INSTALL_PACKDIR ${CMAKE_INSTALL_DATADIR}/vorthalimex)
file(RELATIVE_PATH vx_pack_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/vorthalimex)
if(NOT vx_pack_from_bin STREQUAL "../share/vorthalimex")
  message(WARNING "The program looks for an installed content pack in ../share/vorthalimex next to its "
                  "folder, but this layout puts it at ${vx_pack_from_bin} from ${CMAKE_INSTALL_BINDIR}: "
                  "the installed program will not find it (keep the default CMAKE_INSTALL_BINDIR and "
                  "CMAKE_INSTALL_DATADIR)")
endif()

# The program, the capture tool, the archive tool and the content generator.
set(vx_installed_programs)
foreach(program vorthalimex vorthalimex-capture vxar contentgen)
  if(TARGET ${program})
    list(APPEND vx_installed_programs ${program})
  endif()
endforeach()
install(TARGETS ${vx_installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The generator goes in under a name of the project's own; installing it as a target first keeps
# the stripping that install(TARGETS) does for a package.
if(TARGET contentgen)
  install(CODE "
    set(vx_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(RENAME \"\${vx_bin}/contentgen\" \"\${vx_bin}/vorthalimex-contentgen\")
    list(REMOVE_ITEM CMAKE_INSTALL_MANIFEST_FILES \"\${vx_bin}/contentgen\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${vx_bin}/vorthalimex-contentgen\")
    message(STATUS \"Renamed: \${vx_bin}/contentgen to vorthalimex-contentgen\")")
endif()

# A stripped package also loses the compilers' .comment notes, as Debian's own packages do.
set(vx_installed_names ${vx_installed_programs})
list(TRANSFORM vx_installed_names REPLACE "^contentgen$" "vorthalimex-contentgen")
if(CMAKE_OBJCOPY)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(name ${vx_installed_names})
        set(vx_program \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${name}\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${vx_program}\"
                        RESULT_VARIABLE vx_status)
        if(NOT vx_status EQUAL 0)
          message(FATAL_ERROR \"objcopy could not remove .comment from \${vx_program}\")
        endif()
      endforeach()
    endif()")
endif()

# Their manual pages.
include(ManPages)
install(FILES ${VX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The content pack.
install(DIRECTORY ${VX_RUN_DIR}/data DESTINATION ${VX_INSTALL_PACKDIR}
        FILES_MATCHING PATTERN "*.jpg" PATTERN "*.ob3" PATTERN "*.mp3")
install(FILES ${VX_RUN_DIR}/blow.job DESTINATION ${VX_INSTALL_PACKDIR})

# Desktop entry and icon: the SVG as drawn, and PNGs rasterised from it at build time by ffmpeg
# (its librsvg decoder) for desktops that want fixed sizes.
set(vx_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${vx_packaging_dir}/vorthalimex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${vx_packaging_dir}/vorthalimex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(VX_FFMPEG ffmpeg)
if(VX_FFMPEG)
  set(vx_icon_pngs)
  foreach(size 48 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/vorthalimex.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${VX_FFMPEG} -nostdin -v error -y -i ${vx_packaging_dir}/vorthalimex.svg
              -vf scale=${size}:${size}:flags=lanczos -frames:v 1 -update 1 ${png}
      DEPENDS ${vx_packaging_dir}/vorthalimex.svg
      COMMENT "Rasterising the ${size}x${size} icon"
      VERBATIM)
    list(APPEND vx_icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(icons ALL DEPENDS ${vx_icon_pngs})
else()
  message(STATUS "ffmpeg not found: the icon is installed as SVG only")
endif()

set(VX_PACKAGE_MAINTAINER "vorthalimex maintainers <maintainers@users.noreply.c-seed-2dd08661.example>"
    CACHE STRING "Maintainer field of the Debian package")

# The documentation: the README and its gallery; the licence as a copyright file in Debian's
# machine-readable format, made from LICENSE (its "Copyright (c)" line gives the Copyright field,
# the rest the licence text, which Debian calls Expat); and packaging/changelog, in Debian's
# changelog format, as changelog.gz. Its latest entry must be this version.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# lintian's overrides, each with its reason (scripts/check-deb runs lintian on the package).
install(FILES ${vx_packaging_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME vorthalimex)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/gallery DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

set(vx_doc_dir ${CMAKE_BINARY_DIR}/doc)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE vx_license)
string(FIND "${vx_license}" "Permission is hereby granted" vx_license_at)
if(NOT vx_license MATCHES "Copyright \\(c\\) ([^\n]+)" OR vx_license_at EQUAL -1)
  message(FATAL_ERROR "LICENSE is not the MIT licence with a 'Copyright (c) YEAR HOLDER' line")
endif()
set(VX_COPYRIGHT "${CMAKE_MATCH_1}")
string(SUBSTRING "${vx_license}" ${vx_license_at} -1 vx_license)
string(STRIP "${vx_license}" vx_license)
string(REPLACE "\n\n" "\n.\n" vx_license "${vx_license}")   # an empty line is " ." in the file
string(REPLACE "\n" "\n " VX_LICENSE_TEXT " ${vx_license}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${vx_doc_dir}/copyright @ONLY)
install(FILES ${vx_doc_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(vx_changelog ${PROJECT_SOURCE_DIR}/packaging/changelog)
file(READ ${vx_changelog} vx_changelog_text LIMIT 200)
if(NOT vx_changelog_text MATCHES "^vorthalimex \\(([^)]+)\\)" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "The latest entry of packaging/changelog is not 'vorthalimex (${PROJECT_VERSION})': "
                      "add one for this version")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${vx_changelog})
add_custom_command(
  OUTPUT ${vx_doc_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${vx_changelog} ${vx_doc_dir}/changelog
  COMMAND ${VX_GZIP} -9nf ${vx_doc_dir}/changelog
  DEPENDS ${vx_changelog}
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${vx_doc_dir}/changelog.gz)
install(FILES ${vx_doc_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: `cpack --config <build>/CPackConfig.cmake` or `cmake --build <build> --target
# package` writes vorthalimex_<version>_<arch>.deb into the build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorthalimex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo to a 145 BPM soundtrack")
# (Broken into lines for the control file, where each becomes a line of the long description.)
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "vorthalimex, the halcyrne, part 1: a four-minute, non-interactive show in one\n"
    "OpenGL window, drawn frame by frame as a function of the music time. With it\n"
    "come its content pack, the capture tool that renders the show into a video and\n"
    "stills, the archive tool and the content generator.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, so not seen by dpkg-shlibdeps: SDL opens the GL library of the window (libGL, GLX)
# and the capture tool's off-screen one (libEGL) at run time; through them Debian brings Mesa's
# drivers, llvmpipe included.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
# The capture tool encodes through the ffmpeg program, the content generator sets its text in
# Liberation Sans, and a machine without a display plays the show on Xvfb.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-liberation, xvfb")
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git/" "/\\\\.cache/")
include(CPack)
