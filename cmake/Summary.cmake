# A few lines at the end of configuring that say what this build makes and where. NOTICE, so they
# still show with --log-level=NOTICE, which the scripts use to leave out the package look-ups.
set(vx_launcher "")
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(vx_launcher " through ${CMAKE_CXX_COMPILER_LAUNCHER}")
endif()
set(vx_package_kind .deb)
if(WIN32)
  set(vx_package_kind "zip (${VX_RELEASE_NAME}.zip)")
endif()
message(NOTICE
  "vorthalimex ${PROJECT_VERSION}: ${CMAKE_BUILD_TYPE} build, ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}${vx_launcher}\n"
  "  VX_TESTS=${VX_TESTS} VX_BENCH=${VX_BENCH} VX_CONTENT_PACK=${VX_CONTENT_PACK} VX_SANITIZE=${VX_SANITIZE} VX_FUZZ=${VX_FUZZ}\n"
  "  programs in ${CMAKE_BINARY_DIR}/bin; the show plays from ${VX_RUN_DIR}\n"
  "  cmake --install puts them under ${CMAKE_INSTALL_PREFIX}; cpack makes the ${vx_package_kind}")
