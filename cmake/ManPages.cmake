# Manual pages, made at build time by help2man from each program's --help, with a short include
# file (packaging/man/<name>.h2m) for what --help does not say, then compressed as Debian wants
# them. The pages are named as the programs are installed: the content generator, built as
# contentgen, is installed as vorthalimex-contentgen and speaks under that name when started as it.
# A cross build cannot run its programs, so it has no pages. VX_GZIP: cmake/Packaging.cmake.
set(VX_MAN_PAGES)
if(CMAKE_CROSSCOMPILING)
  message(STATUS "Cross build: no manual pages (help2man runs the programs)")
  return()
endif()
find_program(VX_HELP2MAN help2man)
if(NOT VX_HELP2MAN)
  message(FATAL_ERROR "help2man makes the manual pages: install it (scripts/install-deps)")
endif()

# The pages' date is the latest changelog entry's (help2man takes it from SOURCE_DATE_EPOCH), so
# that a build on another day makes the same pages; a SOURCE_DATE_EPOCH in the environment wins.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(vx_man_epoch $ENV{SOURCE_DATE_EPOCH})
else()
  file(READ ${PROJECT_SOURCE_DIR}/packaging/changelog vx_man_changelog)
  if(NOT vx_man_changelog MATCHES "\n -- [^\n]*>  ([^\n]+)")
    message(FATAL_ERROR "packaging/changelog: no trailer line (' -- NAME <ADDRESS>  DATE') in its latest entry")
  endif()
  execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s OUTPUT_VARIABLE vx_man_epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE vx_man_status)
  if(NOT vx_man_status EQUAL 0 OR NOT vx_man_epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "packaging/changelog: the date '${CMAKE_MATCH_1}' of its latest entry does not read")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
endif()

set(vx_man_dir ${CMAKE_BINARY_DIR}/man)
# What help2man runs, under the installed names: vxar's page holds the help of each of its
# commands too, which packaging/man/vxar-help.sh puts together.
set(vx_man_bin ${vx_man_dir}/bin)
file(GENERATE OUTPUT ${vx_man_bin}/vxar
     CONTENT "#!/bin/sh\nexec '${PROJECT_SOURCE_DIR}/packaging/man/vxar-help.sh' '$<TARGET_FILE:vxar>' \"$@\"\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# name|target|NAME line of the page
set(vx_man_programs
  "vorthalimex|vorthalimex|real-time audiovisual demo to a 145 BPM soundtrack"
  "vorthalimex-capture|vorthalimex-capture|render the vorthalimex show into a video and stills"
  "vxar|vxar|make, list, test and extract RAR 2.0 data archives"
  "vorthalimex-contentgen|contentgen|generate the vorthalimex content pack")
foreach(entry ${vx_man_programs})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 target)
  list(GET entry 2 summary)
  if(NOT TARGET ${target})
    continue()
  endif()
  set(include ${PROJECT_SOURCE_DIR}/packaging/man/${name}.h2m)
  set(page ${vx_man_dir}/${name}.1)
  if(name STREQUAL "vxar")
    set(run ${vx_man_bin}/vxar)
    set(link_command)
  else()
    set(run ${vx_man_bin}/${name})
    set(link_command COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}> ${run})
  endif()
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${vx_man_bin}
    ${link_command}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${vx_man_epoch}
            ${VX_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
            "--source=vorthalimex ${PROJECT_VERSION}" "--name=${summary}" --include=${include}
            --output=${page} ${run}
    COMMAND ${VX_GZIP} -9nf ${page}
    DEPENDS ${target} ${include} ${PROJECT_SOURCE_DIR}/packaging/man/vxar-help.sh
    COMMENT "Making the manual page ${name}(1)"
    VERBATIM)
  list(APPEND VX_MAN_PAGES ${page}.gz)
endforeach()
add_custom_target(man-pages ALL DEPENDS ${VX_MAN_PAGES})
