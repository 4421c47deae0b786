# Form bodies and URL checking: portable, so they run natively (sanitizers)
# and under Wine alike. The client and the pumped wait need the test web
# server (tests/server/server.py, started by tests/harness/start-services.sh).
if(TARGET gtest)
  orvo_add_gtest(http_body_tests UNIT SOURCES http/multipart_test.cpp http/http_url_test.cpp LIBS orvo_core)
endif()

# The client and the pumped wait under Wine, against the running test server.
if(WIN32 AND TARGET gtest)
  orvo_add_gtest(http_client_tests
    SOURCES http/http_client_test.cpp http/pumped_wait_test.cpp
    LIBS orvo_net ws2_32 psapi)
  target_include_directories(http_client_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endif()

# Download benchmark, run by tests/bench/http-bench.sh (not a test).
if(WIN32)
  add_executable(http_bench EXCLUDE_FROM_ALL bench/http_bench.cpp)
  target_link_libraries(http_bench PRIVATE orvo_net psapi)
endif()
