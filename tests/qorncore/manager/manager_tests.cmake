# The manager: selection, taboo, history and lists, palette, learning; and the facade over it.
pkg_check_modules(MANAGER_TEST_LOG4CPLUS REQUIRED IMPORTED_TARGET log4cplus)
foreach(t selection taboo lists learning console)
  zarvell_test(manager_${t}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manager_${t}_test.cpp
               LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS)
endforeach()
# The palette and the selection pinned on a generated library.
zarvell_test(manager_generated_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manager_generated_test.cpp
             LIBS netgen PkgConfig::MANAGER_TEST_LOG4CPLUS)
# The import on real tagged files through the real analysis and tag-reading modules.
zarvell_test(import_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/import_test.cpp
             LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS
             PROPERTIES ENVIRONMENT_MODIFICATION
               "LSAN_OPTIONS=set:suppressions=${CMAKE_SOURCE_DIR}/tests/support/lsan.supp:fast_unwind_on_malloc=0:malloc_context_size=8")
foreach(module Sonalyx Tolvane Pradix Orsank Velmor shipped_models)
  if(TARGET ${module})
    add_dependencies(import_test ${module})
  endif()
endforeach()
# Link inference: the visiting rules alone, then the module with models trained by the test.
zarvell_test(full_inference_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/full_inference_test.cpp
             LIBS qorn_manager)
zarvell_test(link_inference_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_inference_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/link_inference_runs_test.cpp
  LIBS qorn_manager PkgConfig::MANAGER_TEST_LOG4CPLUS)
target_include_directories(link_inference_test PRIVATE ${CMAKE_SOURCE_DIR}/kalvoretengine
  ${CMAKE_SOURCE_DIR}/sonalyx/core/include ${CMAKE_CURRENT_LIST_DIR})
