# The manager: selection, taboo, history and lists, palette, learning; and the facade over it.
pkg_check_modules(MANAGER_TEST_LOG4CPLUS REQUIRED IMPORTED_TARGET log4cplus)
foreach(t selection taboo lists learning console)
  zarvell_test(manager_${t}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manager_${t}_test.cpp
               LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS)
endforeach()
# The palette and the selection pinned on a generated library.
zarvell_test(manager_generated_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manager_generated_test.cpp
             LIBS netgen PkgConfig::MANAGER_TEST_LOG4CPLUS)
