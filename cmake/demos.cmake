# The demo script (demo.kq5 beside the executable) from data/demos/*.txt, joined in name order,
# and each end-to-end script of tests/e2e/*.txt on its own into e2e/<name>.kq5 of the build.
add_executable(gen_demo ${CMAKE_SOURCE_DIR}/tools/gen_demo.cpp ${CMAKE_SOURCE_DIR}/src/app/demo_script.cpp)
target_include_directories(gen_demo PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(gen_demo PROPERTIES CXX_COMPILER_LAUNCHER "")

file(GLOB KQ5_DEMO_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/demos/*.txt)
list(SORT KQ5_DEMO_SOURCES)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/demo.kq5
  COMMAND gen_demo ${CMAKE_BINARY_DIR}/demo.kq5 ${KQ5_DEMO_SOURCES}
  DEPENDS gen_demo ${KQ5_DEMO_SOURCES}
  COMMENT "Assembling the demo script")
set(KQ5_DEMO_OUTPUTS ${CMAKE_BINARY_DIR}/demo.kq5)

file(GLOB KQ5_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.txt)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
foreach(source ${KQ5_E2E_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/e2e/${stem}.kq5
    COMMAND gen_demo ${CMAKE_BINARY_DIR}/e2e/${stem}.kq5 ${source}
    DEPENDS gen_demo ${source}
    COMMENT "Assembling the end-to-end script ${stem}")
  list(APPEND KQ5_DEMO_OUTPUTS ${CMAKE_BINARY_DIR}/e2e/${stem}.kq5)
endforeach()
add_custom_target(kq5_demo_scripts ALL DEPENDS ${KQ5_DEMO_OUTPUTS})
# Tests depend on kq5_data_files: the scripts come with it.
add_dependencies(kq5_data_files kq5_demo_scripts)
