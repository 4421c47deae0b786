# The Group Policy templates, checked on the host: well-formed, complete in
# both languages, and naming the key the program reads.
if(NOT WIN32)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    add_test(NAME policy_templates COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/shipping/policy_templates_test.py)
    set_tests_properties(policy_templates PROPERTIES LABELS unit)
  endif()
endif()
