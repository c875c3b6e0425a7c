# Helpers shared by every component's CMakeLists.

# zarvell_program_target(<target>): place the target's output in the program folder.
function(zarvell_program_target target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${ZARVELL_PROGRAM_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${ZARVELL_PROGRAM_DIR}
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
endfunction()

# zarvell_module(<name> SOURCES ... [LIBS ...]): a run-time loaded module "<name>.so" in the
# program folder (or in SUBDIR of it). Its exports are the extern "C" functions marked
# ZARVELL_EXPORT; everything else is hidden.
function(zarvell_module name)
  cmake_parse_arguments(M "" "SUBDIR" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${M_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  zarvell_program_target(${name})
  if(M_SUBDIR)
    set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ZARVELL_PROGRAM_DIR}/${M_SUBDIR})
  endif()
  target_link_libraries(${name} PRIVATE ${M_LIBS})
  target_link_options(${name} PRIVATE -Wl,--no-undefined)
endfunction()

# zarvell_test(<name> SOURCES ... [LIBS ...]): a GoogleTest executable registered with CTest.
# Tests run with the program folder in ZARVELL_PROGRAM_DIR and a scratch data folder.
function(zarvell_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    ZARVELL_PROGRAM_DIR="${ZARVELL_PROGRAM_DIR}"
    ZARVELL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ZARVELL_TEST_DATA_DIR="${CMAKE_BINARY_DIR}/testdata")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ZARVELL_PROGRAM_DIR=${ZARVELL_PROGRAM_DIR}" ${T_PROPERTIES})
endfunction()
