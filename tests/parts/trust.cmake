# Trusted servers: origins, list entries and the servers a request names,
# natively and under Wine.
if(TARGET gtest)
  orvo_add_gtest(trust_tests UNIT SOURCES unit/server_origin_test.cpp LIBS orvo_core)
endif()
