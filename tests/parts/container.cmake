# The document container and the print host, under Wine (they need OLE and a
# window station).
if(WIN32 AND TARGET gtest)
  orvo_add_gtest(container_tests
    SOURCES container/ole_container_test.cpp container/print_host_test.cpp
    LIBS orvo_app)
endif()
