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

# Where an installed tree puts things. On Linux the two libraries live in a private folder of
# the package, which the programs and the engine name in a run path relative to themselves, so
# that an installed tree works wherever it is unpacked, without LD_LIBRARY_PATH. On Windows
# every binary lands in bin/, side by side, where the loader looks first; import libraries go
# to lib/.
include(GNUInstallDirs)
set(ORVO_PACKAGE_NAME orvo-utilities)
set(ORVO_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/orvo)
if(WIN32)
  set(ORVO_INSTALL_LIBDIR ${CMAKE_INSTALL_BINDIR})
else()
  set(ORVO_INSTALL_LIBDIR lib/${ORVO_PACKAGE_NAME})
  # The build tree has the installed tree's shape (programs and tests in bin/, the product's
  # libraries in lib/orvo-utilities/), and every binary is linked with its installed relative run
  # path, so installing changes no run path. A run path rewritten at install time would have to be
  # padded with empty entries in the build, and the loader reads an empty entry as the current
  # folder: a program started from the build tree would load libraries planted wherever it is
  # started.
  set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)
  file(RELATIVE_PATH ORVO_PROGRAM_TO_LIBRARIES /${CMAKE_INSTALL_BINDIR} /${ORVO_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_RPATH "$ORIGIN/${ORVO_PROGRAM_TO_LIBRARIES}")
endif()
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${ORVO_INSTALL_LIBDIR})

# orvo_install_library(<target>): installs a shared library of the product.
function(orvo_install_library target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} LIBRARY DESTINATION ${ORVO_INSTALL_LIBDIR}
          ARCHIVE DESTINATION lib)
  if(NOT WIN32)
    # A library finds the libraries it imports beside itself.
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  endif()
endfunction()

# orvo_install_program(<target>): installs a program to bin/ and, on Linux, its manual page
# (<target>.1 beside its CMakeLists.txt, compressed as Debian keeps them), and adds it to the
# programs that the install tests and the package check run.
function(orvo_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY ORVO_PROGRAMS ${target})
  if(WIN32)
    return()
  endif()
  set(packed ${CMAKE_CURRENT_BINARY_DIR}/${target}.1.gz)
  orvo_gzip(${target}_manual ${CMAKE_CURRENT_SOURCE_DIR}/${target}.1 ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# orvo_gzip(<target> <source> <output>): <output> is <source> compressed, kept up to date by
# <target>, which every build runs. -n leaves the name and time out, so that the same text
# always packs to the same bytes.
function(orvo_gzip target source output)
  add_custom_command(OUTPUT ${output} COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${source} ${output}
                     DEPENDS ${source} VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
