# Helpers shared by the targets of the project.

# orvo_version_resource(<target> <description> <original file name>)
# Windows: a version record (file description, file and product version 1.0.0.0) and a manifest
# asking for the invoker's execution level, compiled into the binary.
function(orvo_version_resource target description filename)
  if(NOT WIN32)
    return()
  endif()
  set(ORVO_RC_DESCRIPTION "${description}")
  set(ORVO_RC_FILENAME "${filename}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(ORVO_RC_FILETYPE "0x2L")
    set(ORVO_RC_MANIFEST_ID 2)
  else()
    set(ORVO_RC_FILETYPE "0x1L")
    set(ORVO_RC_MANIFEST_ID 1)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# orvo_program(<target> SOURCES ... LIBS ...): a console program with the wide entry point.
function(orvo_program target)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${P_SOURCES})
  target_link_libraries(${target} PRIVATE ${P_LIBS} orvo_entry)
endfunction()

# orvo_module_name(<target> <deliverable target>): failure reports name the deliverable the
# reporting code belongs to.
function(orvo_module_name target deliverable)
  target_compile_definitions(${target} PRIVATE ORVO_MODULE_NAME="$<TARGET_FILE_NAME:${deliverable}>")
endfunction()
