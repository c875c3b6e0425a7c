# The manager: selection, learning, lists, taboo, node indexes (static part of the engine).
add_library(qorn_manager STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/qornNodeHolder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/TabooList.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/History.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManager.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerSelection.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerLearning.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerNetworkFile.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerPalette.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerSVM.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ClassVectors.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/FullInference.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/LinkInference.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/LinkInferenceRuns.cpp)
target_link_libraries(qorn_manager PUBLIC qorn_engine qorn_svm)
# Link inference reports progress in the facade's ProgressInfo record.
target_include_directories(qorn_manager PRIVATE ${CMAKE_SOURCE_DIR}/kalvoretengine
  ${CMAKE_SOURCE_DIR}/sonalyx/core/include)
# The import: tag scan through Orsank.so, feature extraction through Sonalyx.so (both
# loaded by name; only their boundary headers are needed), node building and insertion.
target_sources(qorn_manager PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/featureextractor.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ImportItems.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerImport.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerInsert.cpp)
target_include_directories(qorn_manager PUBLIC
  ${CMAKE_SOURCE_DIR}/sonalyx/core/include
  ${CMAKE_SOURCE_DIR}/sdks/orsank/include)
if(TARGET qorn_features)
  target_link_libraries(qorn_manager PUBLIC qorn_features)
endif()

# The iTunes library import and the similar-songs query. The library entries (FESyncItem)
# and the progress records come from the engine's boundary headers.
target_sources(qorn_manager PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/SyncItemList.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ITunesLibraryReader.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerITunes.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/qornManagerFeaturesetUrl.cpp)
target_include_directories(qorn_manager PUBLIC ${CMAKE_SOURCE_DIR}/sonalyx/core/include)
