# Runtime data files that lie beside the executable: the default model library. The program
# makes the library's index file itself, beside it.
set(KQ5_NOM_LIB ${CMAKE_BINARY_DIR}/NOM.LIB)
add_custom_command(
  OUTPUT ${KQ5_NOM_LIB}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/NOM.LIB ${KQ5_NOM_LIB}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/NOM.LIB
  COMMENT "Copying the default model library")
add_custom_target(kq5_data_files ALL DEPENDS ${KQ5_NOM_LIB})

# The help texts, read by the help text window from the program's directory.
set(KQ5_HELP_TEXT ${CMAKE_BINARY_DIR}/help.kq5)
add_custom_command(
  OUTPUT ${KQ5_HELP_TEXT}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/help.kq5 ${KQ5_HELP_TEXT}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/help.kq5
  COMMENT "Copying the help texts")
add_custom_target(kq5_help_text ALL DEPENDS ${KQ5_HELP_TEXT})
