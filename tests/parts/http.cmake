# Form bodies and URL checking: portable, so they run natively (sanitizers)
# and under Wine alike. The client and the pumped wait need the test web
# server (tests/server/server.py, started by tests/harness/start-services.sh).
if(TARGET gtest)
  orvo_add_gtest(http_body_tests SOURCES http/multipart_test.cpp http/http_url_test.cpp LIBS orvo_core)
endif()
