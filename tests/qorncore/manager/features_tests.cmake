# Tests of the feature sets, normalisers and feature files (qorn_features).
if(TARGET qorn_features)
  zarvell_test(qorn_features_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/feature_set_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/normaliser_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/feature_manager_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/feature_xml_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/feature_xml_expat_test.cpp
    LIBS qorn_features)
endif()
