# Lame::Lame, the MP3 encoder (the content generator's soundtrack, the tests' MP3 files).
# VX_LAME_HINT says where it comes from when it is not found.
find_path(LAME_INCLUDE_DIR lame/lame.h)
find_library(LAME_LIBRARY mp3lame)
if(NOT LAME_INCLUDE_DIR OR NOT LAME_LIBRARY)
  message(FATAL_ERROR "LAME not found (${VX_LAME_HINT})")
endif()
add_library(Lame::Lame UNKNOWN IMPORTED)
set_target_properties(Lame::Lame PROPERTIES IMPORTED_LOCATION ${LAME_LIBRARY}
                      INTERFACE_INCLUDE_DIRECTORIES ${LAME_INCLUDE_DIR})
