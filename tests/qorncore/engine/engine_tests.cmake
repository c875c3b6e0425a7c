# The engine core: links, spreading activation, hotlist, keyword index.
pkg_check_modules(ENGINE_TEST_LOG4CPLUS REQUIRED IMPORTED_TARGET log4cplus)
zarvell_test(engine_links_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_links_test.cpp
             LIBS qorn_manager PkgConfig::ENGINE_TEST_LOG4CPLUS)
zarvell_test(engine_activation_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_activation_test.cpp
             LIBS qorn_manager PkgConfig::ENGINE_TEST_LOG4CPLUS)
zarvell_test(id_tables_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/id_tables_test.cpp
             LIBS qorn_manager PkgConfig::ENGINE_TEST_LOG4CPLUS)
