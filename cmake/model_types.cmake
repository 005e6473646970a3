# The model type table, generated from its readable source, which also holds the parameter
# descriptions of the string table (ids description base + 1 + index).
add_executable(gen_model_types ${CMAKE_SOURCE_DIR}/tools/gen_model_types.cpp)
set_target_properties(gen_model_types PROPERTIES CXX_COMPILER_LAUNCHER "")

add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/model_types_data.cpp
  COMMAND gen_model_types table ${CMAKE_SOURCE_DIR}/data/model_types.tsv ${KQ5_GEN_DIR}/model_types_data.cpp
  DEPENDS gen_model_types ${CMAKE_SOURCE_DIR}/data/model_types.tsv
  COMMENT "Compiling the model type table")

list(APPEND KQ5_GENERATED_SOURCES ${KQ5_GEN_DIR}/model_types_data.cpp)

# The descriptions join the string table: after the string table's own step, the strings are
# merged with them and the table is compiled again from the merged source.
add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/string_table_data.cpp APPEND
  COMMAND gen_model_types strings ${CMAKE_SOURCE_DIR}/data/model_types.tsv ${CMAKE_SOURCE_DIR}/data/strings.tsv
          ${KQ5_GEN_DIR}/strings_with_models.tsv
  COMMAND gen_string_table ${KQ5_GEN_DIR}/strings_with_models.tsv ${KQ5_GEN_DIR}/string_table_data.cpp
  DEPENDS gen_model_types ${CMAKE_SOURCE_DIR}/data/model_types.tsv)
