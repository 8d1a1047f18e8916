# The Windows release. `cpack` in a Windows build (or its `package` target) makes
# vorthalimex-<version>-win64.zip (win32 for a 32-bit build): one folder holding the program, the
# capture tool and the archive tool, the DLLs they load that Windows does not have, the content pack
# (data/ and blow.job; the program finds it next to itself), README.txt, LICENSE.txt and the
# licence texts of every library compiled into the programs or shipped beside them (licenses/).
# `cmake --install` puts the same files in one folder.
install(TARGETS vorthalimex vorthalimex-capture vxar RUNTIME DESTINATION .)

# The DLLs the programs load that Windows does not have (cmake/DependenciesWindows.cmake).
install(FILES ${VX_WINDOWS_DLLS} DESTINATION .)

install(DIRECTORY ${VX_RUN_DIR}/data DESTINATION .
        FILES_MATCHING PATTERN "*.jpg" PATTERN "*.ob3" PATTERN "*.mp3")
install(FILES ${VX_RUN_DIR}/blow.job DESTINATION .)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# Licences: scripts/windows-deps leaves each library's texts, Debian's copyright file among them,
# in <prefix>/share/licenses/<name> (googletest and LAME only go into the tests); zlib and the MinGW-w64
# runtime (winpthread is linked in) come from Debian's packages of them.
foreach(prefix IN LISTS VX_WINDOWS_DEPS_PREFIXES)
  file(GLOB vx_license_files "${prefix}/share/licenses/*/copyright")
  foreach(file IN LISTS vx_license_files)
    get_filename_component(dir ${file} DIRECTORY)
    get_filename_component(name ${dir} NAME)
    if(NOT name MATCHES "^(googletest|lame)$")
      install(DIRECTORY ${dir} DESTINATION licenses)
    endif()
  endforeach()
endforeach()
foreach(pair "zlib:libz-mingw-w64" "mingw-w64:mingw-w64-common")
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 package)
  if(NOT EXISTS /usr/share/doc/${package}/copyright)
    message(FATAL_ERROR "/usr/share/doc/${package}/copyright is missing (install ${package})")
  endif()
  install(FILES /usr/share/doc/${package}/copyright DESTINATION licenses/${name})
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vorthalimex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${VX_RELEASE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
