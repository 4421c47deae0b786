# The helpdesk log's portable rules, natively and under Wine.
if(TARGET gtest)
  orvo_add_gtest(helpdesk_log_tests UNIT SOURCES unit/helpdesk_log_text_test.cpp LIBS orvo_core)
endif()
