# The Word link against the Office substitute, under Wine.
if(WIN32 AND TARGET gtest AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/parts/office.cmake)
  orvo_add_gtest(word_link_tests
    SOURCES hosting/word_link_test.cpp
    LIBS orvo_app orvo_fake_office_common)
  target_include_directories(word_link_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fakes/office)
  target_compile_definitions(word_link_tests PRIVATE
    "ORVO_FAKE_OFFICE_DLL=\"Z:$<TARGET_FILE:orvo_fake_office>\"")
  add_dependencies(word_link_tests orvo_fake_office)
endif()
