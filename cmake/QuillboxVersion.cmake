# The one version of every program: the top-level project(... VERSION). It reaches the code as
# quillbox_version.h (QUILLBOX_VERSION), through the interface target quillbox_version.
function(quillbox_version_target version)
  set(QUILLBOX_VERSION ${version})
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/quillbox_version.h.in
                 ${CMAKE_BINARY_DIR}/generated/quillbox_version.h @ONLY)
  add_library(quillbox_version INTERFACE)
  target_include_directories(quillbox_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
endfunction()

# The version written in the top-level CMakeLists.txt, for a part configured on its own.
function(quillbox_read_version top_level_lists out_var)
  file(STRINGS ${top_level_lists} line REGEX "^project\\(Quillbox VERSION [0-9.]+")
  string(REGEX MATCH "[0-9]+(\\.[0-9]+)*" version "${line}")
  set(${out_var} ${version} PARENT_SCOPE)
endfunction()
