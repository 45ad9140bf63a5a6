# cmake --install of the build tree into a fresh prefix, then: the files a user and a
# packager expect are there, a consumer project builds against find_package(Quillon) and
# rates through the installed engine, and the installed quillon-setup finds its data and
# libraries in the installed layout.
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

foreach(file
    bin/quillon-setup bin/quillon-rate
    ${LIBDIR}/libQLN2000.so ${LIBDIR}/libmsgreporter.so ${LIBDIR}/libgenutil.so ${LIBDIR}/libambutil.so
    ${LIBDIR}/libReporter.so ${LIBDIR}/libambmessages.so ${LIBDIR}/libambcategories.so
    ${LIBDIR}/cmake/Quillon/QuillonConfig.cmake ${LIBDIR}/cmake/Quillon/QuillonConfigVersion.cmake
    ${LIBDIR}/cmake/Quillon/QuillonTargets.cmake
    include/quillon/engine/clsQuillon.h include/quillon/ado/Recordset.h include/quillon/Variant.h
    share/quillon/quillon-rules.sqlite share/quillon/quillon-results.sqlite share/quillon/quillon.svg
    share/quillon/help/contents.html share/quillon/help/keywords.html share/quillon/sample/sample.sqlite
    share/applications/quillon.desktop share/icons/hicolor/scalable/apps/quillon.svg)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "cmake --install did not install ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/consumer -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK}/consumer)
run(${WORK}/consumer/consumer ${prefix}/share/quillon/quillon-rules.sqlite)
if(NOT output MATCHES "attributes: [1-9]")
  message(FATAL_ERROR "the consumer read no attributes: ${output}")
endif()

set(ENV{QUILLON_REGISTRY_ROOT} ${WORK}/registry)
set(ENV{XDG_DATA_HOME} ${WORK}/home)
run(${prefix}/bin/quillon-setup)
execute_process(COMMAND ${prefix}/bin/quillon-setup --check OUTPUT_VARIABLE check)
if(check MATCHES "(file|setting|data source|component|event source) ")
  message(FATAL_ERROR "the installed quillon-setup left something out:\n${check}")
endif()
file(REMOVE_RECURSE ${WORK})
