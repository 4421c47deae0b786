# The main window's flows: naming rules of the local report copies (on Linux
# and under Wine) and the late-bound automation helper (under Wine).
if(TARGET gtest)
  orvo_add_gtest(flows_names_tests UNIT SOURCES flows/local_names_test.cpp LIBS orvo_core)
  if(WIN32)
    orvo_add_gtest(dispatch_tests UNIT SOURCES flows/dispatch_test.cpp LIBS orvo_win32)
  endif()
endif()
