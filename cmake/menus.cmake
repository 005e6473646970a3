# Menus and accelerator tables, compiled from their readable sources: the program's own into the
# program, and each test suite's own (tests/<suite>/resources) into that suite.
add_executable(gen_menus ${CMAKE_SOURCE_DIR}/tools/gen_menus.cpp)
set_target_properties(gen_menus PROPERTIES CXX_COMPILER_LAUNCHER "")

file(GLOB KQ5_MENU_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/data/menus/*.menu ${CMAKE_SOURCE_DIR}/data/accelerators/*.acc)
add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/menu_resources_data.cpp
  COMMAND gen_menus program ${KQ5_GEN_DIR}/menu_resources_data.cpp ${KQ5_MENU_SOURCES}
  DEPENDS gen_menus ${KQ5_MENU_SOURCES}
  COMMENT "Compiling the menus and accelerator tables")
list(APPEND KQ5_GENERATED_SOURCES ${KQ5_GEN_DIR}/menu_resources_data.cpp)

# The test suites are defined after this file is read, so their resources are added at the end.
function(kq5_add_test_menu_resources)
  file(GLOB suites LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
  foreach(dir ${suites})
    get_filename_component(suite ${dir} NAME)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/resources/*.menu ${dir}/resources/*.acc)
    if(sources AND TARGET ${suite}_tests)
      set(out ${KQ5_GEN_DIR}/${suite}_test_menu_resources.cpp)
      add_custom_command(
        OUTPUT ${out}
        COMMAND gen_menus test ${out} ${sources}
        DEPENDS gen_menus ${sources}
        COMMENT "Compiling the ${suite} tests' menus and accelerator tables")
      target_sources(${suite}_tests PRIVATE ${out})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL kq5_add_test_menu_resources)
