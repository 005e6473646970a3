# The component type table, generated from its readable source.
add_executable(gen_component_types ${CMAKE_SOURCE_DIR}/tools/gen_component_types.cpp)
set_target_properties(gen_component_types PROPERTIES CXX_COMPILER_LAUNCHER "")

add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/component_types_data.cpp
  COMMAND gen_component_types ${CMAKE_SOURCE_DIR}/data/component_types.tsv ${KQ5_GEN_DIR}/component_types_data.cpp
  DEPENDS gen_component_types ${CMAKE_SOURCE_DIR}/data/component_types.tsv
  COMMENT "Compiling the component type table")

list(APPEND KQ5_GENERATED_SOURCES ${KQ5_GEN_DIR}/component_types_data.cpp)
