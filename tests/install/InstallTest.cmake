# cmake --install of the build tree into a fresh prefix, then: the files a user and a
# packager expect are there, no library lands in the public library folder, a consumer
# project builds against find_package(Quillon) and rates through the installed engine, and
# the installed programs start from there as a new user's would (start_programs.sh).
file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})

set(private ${LIBDIR}/quillon)
foreach(file
    bin/quillon bin/quillon-map bin/quillon-setup bin/quillon-rate bin/quillon-import bin/quillon-sample
    bin/quillon-dde ${private}/quillon-access-reader
    ${private}/libQLN2000.so ${private}/libmsgreporter.so ${private}/libgenutil.so ${private}/libambutil.so
    ${private}/libReporter.so ${private}/libambmessages.so ${private}/libambcategories.so
    ${private}/libquillon_viewer_link.so ${private}/libquillon_gis_core.so ${private}/libquillon_dde_qt.so
    ${LIBDIR}/cmake/Quillon/QuillonConfig.cmake ${LIBDIR}/cmake/Quillon/QuillonConfigVersion.cmake
    ${LIBDIR}/cmake/Quillon/QuillonTargets.cmake
    include/quillon/engine/clsQuillon.h include/quillon/ado/Recordset.h include/quillon/Variant.h
    share/quillon/quillon-rules.sqlite share/quillon/quillon-results.sqlite share/quillon/quillon.svg
    share/quillon/help/contents.html share/quillon/help/keywords.html share/quillon/sample/sample.sqlite
    share/applications/com.kelvaro.Quillon.desktop share/applications/com.kelvaro.QuillonViewer.desktop
    share/metainfo/com.kelvaro.Quillon.metainfo.xml share/icons/hicolor/scalable/apps/quillon.svg
    share/icons/hicolor/scalable/apps/quillon-map.svg share/doc/quillon/copyright
    share/doc/quillon/changelog.Debian.gz share/man/man1/quillon.1.gz share/man/man1/quillon-map.1.gz
    share/qgis/python/plugins/quillon_link/metadata.txt share/qgis/python/plugins/quillon_link/__init__.py)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "cmake --install did not install ${file}")
  endif()
endforeach()
file(GLOB public_libraries ${prefix}/${LIBDIR}/*.so*)
if(public_libraries)
  message(FATAL_ERROR "libraries in the public library folder: ${public_libraries}")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/consumer -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK}/consumer)
run(${WORK}/consumer/consumer ${prefix}/share/quillon/quillon-rules.sqlite)
if(NOT output MATCHES "attributes: [1-9]")
  message(FATAL_ERROR "the consumer read no attributes: ${output}")
endif()

run(${START_PROGRAMS} ${prefix}/bin ${prefix}/${private})
message(STATUS "${output}")
file(REMOVE_RECURSE ${WORK})
