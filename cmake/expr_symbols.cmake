# The expression language's symbol table, generated from its readable source.
add_executable(gen_expr_symbols ${CMAKE_SOURCE_DIR}/tools/gen_expr_symbols.cpp)
set_target_properties(gen_expr_symbols PROPERTIES CXX_COMPILER_LAUNCHER "")

add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/expr_symbols_data.cpp
  COMMAND gen_expr_symbols ${CMAKE_SOURCE_DIR}/data/expression_symbols.tsv ${KQ5_GEN_DIR}/expr_symbols_data.cpp
  DEPENDS gen_expr_symbols ${CMAKE_SOURCE_DIR}/data/expression_symbols.tsv
  COMMENT "Compiling the expression symbol table")

list(APPEND KQ5_GENERATED_SOURCES ${KQ5_GEN_DIR}/expr_symbols_data.cpp)
