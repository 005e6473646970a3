# The shape library (shape.kq5) and the component library (comp.kq5), made from their readable
# sources by the program's own writers and put beside the executable.
add_executable(gen_libraries ${CMAKE_SOURCE_DIR}/tools/gen_libraries.cpp)
target_include_directories(gen_libraries PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(gen_libraries PRIVATE kq5lib)

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/shape.kq5 ${CMAKE_BINARY_DIR}/comp.kq5
  COMMAND gen_libraries ${CMAKE_SOURCE_DIR}/data/shapes.txt ${CMAKE_SOURCE_DIR}/data/components.tsv
          ${CMAKE_BINARY_DIR}/shape.kq5 ${CMAKE_BINARY_DIR}/comp.kq5
  DEPENDS gen_libraries ${CMAKE_SOURCE_DIR}/data/shapes.txt ${CMAKE_SOURCE_DIR}/data/components.tsv
  COMMENT "Building the shape and component libraries")
add_custom_target(kq5_libraries ALL DEPENDS ${CMAKE_BINARY_DIR}/shape.kq5 ${CMAKE_BINARY_DIR}/comp.kq5)
add_dependencies(kq5_data_files kq5_libraries)
