# The Office substitute: an in-process COM server standing in for Word and
# Excel under Wine, its sample-document writer, its control tool, and its
# tests. Everything lands in one folder so the tests find the DLL beside
# them and register it themselves.
if(WIN32)
  set(ORVO_FAKE_OFFICE_DIR ${CMAKE_BINARY_DIR}/tests/fakes/office)
  set(_fo ${CMAKE_CURRENT_SOURCE_DIR}/fakes/office)

  # Shared by the DLL, the tools and the tests. The support source is
  # compiled here rather than linking orvo_win32, so the substitute
  # builds on its own.
  add_library(orvo_fake_office_common STATIC
    ${_fo}/document_format.cpp
    ${_fo}/genuine_documents.cpp
    ${_fo}/zip_package.cpp
    ${_fo}/journal.cpp
    ${_fo}/sample_documents.cpp
    ${CMAKE_SOURCE_DIR}/printer/support/win32/win_text.cpp)
  target_include_directories(orvo_fake_office_common PUBLIC ${_fo} ${CMAKE_SOURCE_DIR}/printer)
  # zlib (Debian's libz-mingw-w64-dev, static) inflates the parts of genuine
  # ".docx" and ".xlsx" packages.
  find_library(ORVO_MINGW_ZLIB NAMES libz.a z REQUIRED)
  target_link_libraries(orvo_fake_office_common PUBLIC ${ORVO_MINGW_ZLIB} ole32 oleaut32 uuid)

  add_library(orvo_fake_office SHARED
    ${_fo}/server.cpp
    ${_fo}/application.cpp
    ${_fo}/document.cpp
    ${_fo}/object_model.cpp
    ${_fo}/dispatch_table.cpp
    ${_fo}/connection_point.cpp
    ${_fo}/printing.cpp
    ${_fo}/control_window.cpp
    ${_fo}/word_window.cpp
    ${_fo}/orvo_fake_office.def)
  set_target_properties(orvo_fake_office PROPERTIES
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${ORVO_FAKE_OFFICE_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${ORVO_FAKE_OFFICE_DIR})
  target_link_libraries(orvo_fake_office PRIVATE orvo_fake_office_common ole32 oleaut32 uuid user32 gdi32 winspool comdlg32)

  add_executable(fake_office_docgen ${_fo}/docgen.cpp)
  target_link_options(fake_office_docgen PRIVATE -municode)
  target_link_libraries(fake_office_docgen PRIVATE orvo_fake_office_common)
  set_target_properties(fake_office_docgen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORVO_FAKE_OFFICE_DIR})

  add_executable(fake_office_ctl ${_fo}/ctl.cpp)
  target_link_options(fake_office_ctl PRIVATE -municode)
  target_include_directories(fake_office_ctl PRIVATE ${_fo})
  target_link_libraries(fake_office_ctl PRIVATE user32)
  set_target_properties(fake_office_ctl PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORVO_FAKE_OFFICE_DIR})

  if(TARGET gtest)
    orvo_add_gtest(fake_office_tests
      SOURCES
        fakes/office/tests/test_support.cpp
        fakes/office/tests/automation_test.cpp
        fakes/office/tests/events_test.cpp
        fakes/office/tests/embedding_test.cpp
        fakes/office/tests/printing_test.cpp
        fakes/office/tests/journal_test.cpp
        fakes/office/tests/registration_test.cpp
        fakes/office/tests/genuine_test.cpp
      LIBS orvo_fake_office_common ole32 oleaut32 uuid user32 gdi32 winspool comdlg32 winhttp advapi32)
    set_target_properties(fake_office_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORVO_FAKE_OFFICE_DIR})
    add_dependencies(fake_office_tests orvo_fake_office fake_office_docgen fake_office_ctl)
    target_compile_definitions(fake_office_tests PRIVATE "ORVO_GENUINE_DIR=\"Z:${CMAKE_SOURCE_DIR}/tests/data/genuine\"")
  endif()
endif()
