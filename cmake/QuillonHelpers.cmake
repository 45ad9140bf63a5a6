# Warning and sanitizer flags shared by every target of the project.
add_library(quillon_build_flags INTERFACE)
add_library(Quillon::build_flags ALIAS quillon_build_flags)
target_compile_options(quillon_build_flags INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                       -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual)
# GCC 12 at -O2 reports impossible overlaps inside std::string concatenation (GCC bug
# 105329) and uninitialised members of std::variant moves (GCC bug 80635).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quillon_build_flags INTERFACE -Wno-restrict -Wno-maybe-uninitialized)
endif()
if(QUILLON_WERROR)
  target_compile_options(quillon_build_flags INTERFACE -Werror)
endif()
if(QUILLON_FUZZ)
  # Every library the fuzz targets reach is instrumented for coverage and checked.
  target_compile_options(quillon_build_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillon_build_flags INTERFACE -fsanitize=address,undefined)
elseif(QUILLON_SANITIZE)
  target_compile_options(quillon_build_flags INTERFACE -fsanitize=address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillon_build_flags INTERFACE -fsanitize=address,undefined)
endif()

# quillon_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One executable per library under test; every TEST becomes its own CTest entry, labelled
# "unit": the quick suite of `ctest -L unit`, without the whole-system runs and servers.
function(quillon_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Quillon::build_flags GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    QUILLON_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
    QUILLON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # Parameterised cases are named by index: their values print as raw bytes and addresses.
  # A case that hangs fails after two minutes instead of holding the suite for CTest's 25.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120 LABELS unit)
endfunction()

# quillon_add_locale_run(<test executable>)
# Runs the whole executable once more with the process locale set to de_DE.UTF-8 (comma
# decimals, dot grouping): numbers must not change with the locale.
function(quillon_add_locale_run name)
  target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/TestLocale.cpp)
  add_test(NAME ${name}_de_DE COMMAND ${name})
  set_tests_properties(${name}_de_DE PROPERTIES TIMEOUT 180
    ENVIRONMENT "QUILLON_TEST_LOCALE=de_DE.UTF-8;QT_QPA_PLATFORM=offscreen")
endfunction()

# quillon_add_server_run(<test executable>)
# Runs the whole executable once more against a throw-away PostgreSQL server
# (tests/support/pg_cluster.sh) with QUILLON_TEST_SERVER set: fixtures that honour it load
# their soils data into the server and read it from there. Skipped without the server
# binaries, except under CI.
function(quillon_add_server_run name)
  add_test(NAME ${name}_postgresql COMMAND ${PROJECT_SOURCE_DIR}/tests/support/pg_cluster.sh $<TARGET_FILE:${name}>)
  set_tests_properties(${name}_postgresql PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300
    ENVIRONMENT "QUILLON_TEST_SERVER=1;QT_QPA_PLATFORM=offscreen")
endfunction()

# quillon_use_viewer_fixture(<target>)
# For programs over tests/viewer/ViewerFixture.h, which installs the whole viewer in a
# temporary folder: the engine, the components it creates by programmatic identifier and
# the built data folder must exist, and the fixture finds them by these definitions.
function(quillon_use_viewer_fixture name)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/viewer)
  target_link_libraries(${name} PRIVATE Quillon::viewer_gui Quillon::registry SQLite::SQLite3
                        Quillon::build_flags ${CMAKE_DL_LIBS})
  add_dependencies(${name} quillon-data QLN2000 msgreporter genutil ambutil ambmessages ambcategories
                   quillon_reporter)
  target_compile_definitions(${name} PRIVATE
    QUILLON_BUILD_SHARE="${CMAKE_BINARY_DIR}/share/quillon"
    QLN2000_LIBRARY="$<TARGET_FILE:QLN2000>"
    MSGREPORTER_LIBRARY="$<TARGET_FILE:msgreporter>"
    GENUTIL_LIBRARY="$<TARGET_FILE:genutil>"
    AMBMESSAGES_LIBRARY="$<TARGET_FILE:ambmessages>"
    AMBCATEGORIES_LIBRARY="$<TARGET_FILE:ambcategories>")
endfunction()
