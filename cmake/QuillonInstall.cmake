# What `cmake --install` puts under the prefix: every shared library of the system in the
# programs' private folder <libdir>/quillon (the components are loaded from there by path),
# the public headers of the engine, and the engine as a CMake package:
# find_package(Quillon) gives Quillon::QLN2000.
include(CMakePackageConfigHelpers)

set_target_properties(quillon_common PROPERTIES EXPORT_NAME common)
set_target_properties(quillon_ado PROPERTIES EXPORT_NAME ado)
# Not used by consumers, but the engine's libraries need them at link time.
set_target_properties(quillon_registry PROPERTIES EXPORT_NAME registry)
set_target_properties(quillon_components PROPERTIES EXPORT_NAME components)
install(TARGETS QLN2000 quillon_ado quillon_common quillon_registry quillon_components EXPORT QuillonTargets
  LIBRARY DESTINATION ${QUILLON_INSTALL_PKGLIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY
    ${PROJECT_SOURCE_DIR}/common/include/
    ${PROJECT_SOURCE_DIR}/platform/ado/include/
    ${PROJECT_SOURCE_DIR}/engine/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Libraries found by the others at run time, beside them.
set(runtime_libraries quillon_reporter msgreporter ambutil genutil ambmessages ambcategories landsort
    quillon_desktop quillon_desktop_qt quillon_viewer_core quillon_viewer_link quillon_word quillon_mail
    quillon_gis_core quillon_dde quillon_dde_qt)
install(TARGETS ${runtime_libraries} LIBRARY DESTINATION ${QUILLON_INSTALL_PKGLIBDIR})
foreach(library QLN2000 quillon_ado quillon_common quillon_registry quillon_components ${runtime_libraries})
  set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Quillon)
install(EXPORT QuillonTargets NAMESPACE Quillon:: DESTINATION ${config_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuillonConfig.cmake.in
  ${CMAKE_BINARY_DIR}/QuillonConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QuillonConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/QuillonConfig.cmake ${CMAKE_BINARY_DIR}/QuillonConfigVersion.cmake
  DESTINATION ${config_dir})
