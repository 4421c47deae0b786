# The UI driver the end-to-end tests run beside the program under Wine, and
# the bare window program the start-up time is measured against.
if(WIN32)
  add_executable(uidriver uidriver/uidriver.cpp)
  target_include_directories(uidriver PRIVATE ${CMAKE_SOURCE_DIR}/printer)
  target_link_libraries(uidriver PRIVATE json_dep user32 comctl32 ntdll)
  target_link_options(uidriver PRIVATE -municode)
  set_target_properties(uidriver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

  add_executable(bare_window WIN32 uidriver/bare_window.cpp)
  target_link_options(bare_window PRIVATE -municode)
  set_target_properties(bare_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endif()

# The outside viewer the view tests and the demo associate with a file type.
if(WIN32)
  add_executable(fake_viewer WIN32 uidriver/fake_viewer.cpp)
  target_link_libraries(fake_viewer PRIVATE user32 shell32)
  target_link_options(fake_viewer PRIVATE -municode)
  set_target_properties(fake_viewer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endif()
