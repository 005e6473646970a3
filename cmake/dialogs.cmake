# Dialog templates, compiled from their readable scripts: the program's (data/dialogs/*.dlg) into
# the library, and the test programs' (tests/platform/dialogs/*.dlg) into platform_tests, where
# they register themselves at start-up.
add_executable(gen_dialogs ${CMAKE_SOURCE_DIR}/tools/gen_dialogs.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/dialog_script.cpp ${CMAKE_SOURCE_DIR}/src/platform/win_types.cpp)
target_include_directories(gen_dialogs PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(gen_dialogs PROPERTIES CXX_COMPILER_LAUNCHER "")

file(GLOB KQ5_DIALOG_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/dialogs/*.dlg)
add_custom_command(
  OUTPUT ${KQ5_GEN_DIR}/dialog_templates_data.cpp
  COMMAND gen_dialogs ${KQ5_GEN_DIR}/dialog_templates_data.cpp ${KQ5_DIALOG_SCRIPTS}
  DEPENDS gen_dialogs ${KQ5_DIALOG_SCRIPTS}
  COMMENT "Compiling the dialog templates")
list(APPEND KQ5_GENERATED_SOURCES ${KQ5_GEN_DIR}/dialog_templates_data.cpp)

file(GLOB KQ5_TEST_DIALOG_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/platform/dialogs/*.dlg)
if(KQ5_TESTS AND KQ5_TEST_DIALOG_SCRIPTS)
  add_custom_command(
    OUTPUT ${KQ5_GEN_DIR}/test_dialog_templates_data.cpp
    COMMAND gen_dialogs --register kTestDialogRecords ${KQ5_GEN_DIR}/test_dialog_templates_data.cpp
            ${KQ5_TEST_DIALOG_SCRIPTS}
    DEPENDS gen_dialogs ${KQ5_TEST_DIALOG_SCRIPTS}
    COMMENT "Compiling the test dialog templates")
  # The test executables are made after this file is read: attach the table once they exist.
  function(kq5_attach_test_dialogs)
    if(TARGET platform_tests)
      target_sources(platform_tests PRIVATE ${KQ5_GEN_DIR}/test_dialog_templates_data.cpp)
    endif()
  endfunction()
  cmake_language(DEFER CALL kq5_attach_test_dialogs)
endif()
