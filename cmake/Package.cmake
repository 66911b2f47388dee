# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh) makes
# olvo_VERSION_amd64.deb from the same install rules as `cmake --install`, under /usr.
#
# Its dependencies are those of the installed programs, found by dpkg-shlibdeps. It has no
# maintainer scripts: the desktop's file-type, menu and icon caches are refreshed by the triggers
# of the packages that own them, which the control file's `triggers` activates.

# What Debian wants beside every package: the licence and a changelog, in the doc folder.
set(doc_folder share/doc/olvo)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in
               ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/debian/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
  VERBATIM)
add_custom_target(olvo_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright
              ${PROJECT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${doc_folder})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME olvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrava)
set(CPACK_PACKAGE_CONTACT "OLVO maintainers <maintainers@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut a large file into numbered pieces and restore it")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrava File Splitter cuts a large file into numbered pieces of a chosen size,
so that it can be carried on removable media or sent in parts, and puts the
pieces back together, checking the result. Beside the pieces it writes a small
descriptor that the restore reads.
.
The package holds the desktop program (olvo) and the terminal tool (olvo-cli),
with manual pages and completions for bash, zsh and fish.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.example.com/olvo")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/resources/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 1)
include(CPack)
