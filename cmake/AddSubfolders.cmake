# vx_add_subfolders([SKIP name...]): adds every subfolder of the current source folder that has a
# CMakeLists.txt, in name order, so each unit of tools/, bench/, fuzz/ stands on its own; SKIP names
# the ones this build leaves out.
function(vx_add_subfolders)
  cmake_parse_arguments(A "" "" "SKIP" ${ARGN})
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt AND NOT child IN_LIST A_SKIP)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
