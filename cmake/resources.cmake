# The program's bitmaps, cursors and icons, compiled from their readable picture sources.
add_executable(gen_resources ${CMAKE_SOURCE_DIR}/tools/gen_resources.cpp)
set_target_properties(gen_resources PROPERTIES CXX_COMPILER_LAUNCHER "")

file(GLOB KQ5_PICTURE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/data/bitmaps/*.pix ${CMAKE_SOURCE_DIR}/data/cursors/*.pix ${CMAKE_SOURCE_DIR}/data/icons/*.pix)
add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/image_resources_data.cpp
  COMMAND gen_resources ${KQ5_GEN_DIR}/image_resources_data.cpp ${KQ5_PICTURE_SOURCES}
  DEPENDS gen_resources ${KQ5_PICTURE_SOURCES}
  COMMENT "Compiling the bitmaps, cursors and icons")
list(APPEND KQ5_GENERATED_SOURCES ${KQ5_GEN_DIR}/image_resources_data.cpp)
