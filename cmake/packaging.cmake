# The Debian package of the tool: `make deb` runs `cpack -G DEB` in the build
# tree and writes kelvora_VERSION_ARCH.deb there, installed under /usr. Its
# dependencies are those dpkg-shlibdeps finds for the tool's libraries.
include(GNUInstallDirs)

# Debian's copyright file, and the changelog compressed as policy asks.
set(_kelvora_pkg ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${_kelvora_pkg}/changelog @ONLY)
execute_process(COMMAND gzip -9nkf ${_kelvora_pkg}/changelog RESULT_VARIABLE _kelvora_rc)
if(NOT _kelvora_rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${_kelvora_pkg}/changelog")
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${_kelvora_pkg}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package installs what `make deb` built (the tool, its manual page and
# completion), not everything the tree builds: the tests are no part of it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvora maintainers")
set(CPACK_PACKAGE_CONTACT
    "Kelvora maintainers <maintainers@users.noreply.c-seed-b77110e6.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "statistics for the special prize of the Vietnamese lottery")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvora keeps the results of the special prize of the Vietnamese lottery in
an Excel workbook (.xlsx or .xlsm), takes new results in from copied pages,
and backtests its methods' sets of numbers against chance. This package holds
the command-line tool, which runs the workbook's commands on workbook files,
with its manual page and its bash completion.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
