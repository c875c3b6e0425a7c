# Feature sets, normalisers, the binary feature store and the feature XML files: a static
# part of KalvoretEngine that builds and tests on its own.
set(QORN_FEATURES_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FeatureSet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Normaliser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NormaliserScramble.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NormaliserTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FeatureManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FeatureXmlReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FeatureXmlWriter.cpp)
add_library(qorn_features STATIC ${QORN_FEATURES_SOURCES})
target_include_directories(qorn_features PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qorn_features PUBLIC qorn_datatypes)
