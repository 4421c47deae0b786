if(WIN32 AND TARGET gtest)
  orvo_add_gtest(agent_tests UNIT SOURCES agent/agent_path_test.cpp LIBS)
  target_include_directories(agent_tests PRIVATE ${CMAKE_SOURCE_DIR}/agent ${CMAKE_SOURCE_DIR}/printer)
endif()
if(WIN32)
  # Named like the real program, in a folder of its own, so Agent can be
  # pointed at it through the registry.
  add_executable(agent_probe WIN32 agent/agent_probe.cpp)
  target_link_options(agent_probe PRIVATE -municode)
  target_link_libraries(agent_probe PRIVATE shell32 user32)
  set_target_properties(agent_probe PROPERTIES OUTPUT_NAME orvo_Printer
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/agent-probe)
endif()
