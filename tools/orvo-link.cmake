# The link builder: key pairs and enciphered links for the web side and tests.
add_library(orvo_link_encoder STATIC link_encoder.cpp)
target_include_directories(orvo_link_encoder PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orvo_link_encoder PUBLIC orvo_core)

add_executable(orvo-link orvo_link.cpp)
target_link_libraries(orvo-link PRIVATE orvo_link_encoder)
set_target_properties(orvo-link PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
if(WIN32)
  target_link_options(orvo-link PRIVATE -municode)
endif()
if(ORVO_FUZZ)
  # The fuzzing build instruments orvo_core for libFuzzer; only the fuzz
  # targets link that runtime.
  set_target_properties(orvo-link PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
