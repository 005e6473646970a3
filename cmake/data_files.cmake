# Runtime data files that lie beside the executable: the default model library (the program
# makes the library's index file itself, beside it) and the help texts of the help window.
function(kq5_copy_data_file name comment)
  set(target_file ${CMAKE_BINARY_DIR}/${name})
  add_custom_command(
    OUTPUT ${target_file}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/${name} ${target_file}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${name}
    COMMENT "${comment}")
  set(KQ5_DATA_FILE_OUTPUTS ${KQ5_DATA_FILE_OUTPUTS} ${target_file} PARENT_SCOPE)
endfunction()

kq5_copy_data_file(NOM.LIB "Copying the default model library")
kq5_copy_data_file(help.kq5 "Copying the help texts")
add_custom_target(kq5_data_files ALL DEPENDS ${KQ5_DATA_FILE_OUTPUTS})
