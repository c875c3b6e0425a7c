# Community feature exchange: packets, the multipart request, the XML reply reader and the
# pipeline's exchanges, all against a small HTTP server of the tests' own on 127.0.0.1.
zarvell_test(sonalyx_community_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CommunityFixtureServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/community_wire_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/community_reply_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/community_xml_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/community_pipeline_test.cpp
  LIBS sonalyx_core
  PROPERTIES ENVIRONMENT_MODIFICATION
    "LSAN_OPTIONS=set:suppressions=${CMAKE_SOURCE_DIR}/tests/support/lsan.supp:fast_unwind_on_malloc=0:malloc_context_size=8")
add_dependencies(sonalyx_community_tests audio_fixtures Sonalyx)
foreach(module Tolvane Pradix)
  if(TARGET ${module})
    add_dependencies(sonalyx_community_tests ${module})
  endif()
endforeach()
