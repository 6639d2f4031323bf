# Packages of the installed tree (cpack --preset <release|mingw>): a Debian package from the
# Linux build, a zip archive from the Windows build, both in <build>/packages/.
set(CPACK_PACKAGE_NAME ${ORVO_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Brel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast, safe console tools for very large folder trees")
# Debian shows the description as it stands: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "purgent deletes the old files of a folder tree that match name patterns, and
the folders left empty; findle finds the files of a tree whose names match a
pattern, searching folders in parallel. The cleanup engine behind purgent is a
shared library with one export, OrvoFilesCleanup.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvo Utilities Team <orvo@brel.example>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The C and C++ runtimes from what the binaries import; the libraries the layer links for
  # digests and overlapped reads by name.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3, liburing2")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

  # Debian wants a copyright file and a compressed changelog in the package's doc folder.
  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ORVO_PACKAGE_NAME})
  set(changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  orvo_gzip(orvo_changelog ${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${changelog})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${changelog} DESTINATION ${doc})
endif()

include(CPack)
