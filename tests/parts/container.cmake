# The document container and the print host, under Wine (they need OLE and a
# window station).
if(WIN32 AND TARGET gtest)
  orvo_add_gtest(container_tests
    SOURCES container/ole_container_test.cpp container/print_host_test.cpp
    LIBS orvo_app)

  # With Word and Excel documents served by the Office substitute, which the
  # test registers from the build tree itself. Its targets are defined by a
  # part file read after this one; names resolve when the build is generated.
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/parts/office.cmake)
    orvo_add_gtest(container_office_tests
      SOURCES container/office_container_test.cpp
      LIBS orvo_app orvo_fake_office_common)
    target_include_directories(container_office_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fakes/office)
    target_compile_definitions(container_office_tests PRIVATE
      "ORVO_FAKE_OFFICE_DLL=\"Z:$<TARGET_FILE:orvo_fake_office>\"")
    add_dependencies(container_office_tests orvo_fake_office)
  endif()
endif()
