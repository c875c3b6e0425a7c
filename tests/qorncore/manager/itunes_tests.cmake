# The iTunes library reader and import, and the similar-songs query.
zarvell_test(itunes_reader_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/itunes_reader_test.cpp
             LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS)
zarvell_test(itunes_import_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/itunes_import_test.cpp
             LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS)
zarvell_test(featureset_url_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/featureset_url_test.cpp
             LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS)
