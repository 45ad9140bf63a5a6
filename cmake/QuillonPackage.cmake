# The Debian package: `cpack -G DEB` in a build tree packs what `cmake --install` installs
# under /usr, with its dependencies computed from the programs and libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUILLON_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "soil survey interpretation viewer and soils map")
# The extended description; CPack puts the summary above it as the synopsis.
set(CPACK_PACKAGE_DESCRIPTION "Quillon turns the component data of a soil survey database into one rating
per map unit for a chosen soil attribute, stores the ratings in a results
table, shows them as a thematic map and writes them as reports.

The package holds the soils map and the viewer, the command-line rating tool,
the rules database, legends, help book, report templates and a sample survey.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private libraries are the package's own: dpkg-shlibdeps finds them where they were built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# The viewer shows its documents with the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
# The QGIS plugin runs in QGIS with its Python bindings.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis, python3-qgis")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
