# The network file: the exact writer, the reader's state machine, the crash-safe replace,
# hostile and damaged files.
pkg_check_modules(NETFILE_TEST_LOG4CPLUS REQUIRED IMPORTED_TARGET log4cplus)
foreach(name network_file_format_test network_file_reader_test network_file_save_test
             network_file_hostile_test)
  zarvell_test(${name} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp
               LIBS qorn_manager PkgConfig::NETFILE_TEST_LOG4CPLUS)
endforeach()
# The loaded network compared with a link-by-link load of the same generated library.
zarvell_test(network_file_identity_test
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/network_file_identity_test.cpp
             LIBS netgen PkgConfig::NETFILE_TEST_LOG4CPLUS)
# The reader's fast number readers against the general ones.
zarvell_test(attribute_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/attribute_text_test.cpp
             LIBS qorn_manager)
