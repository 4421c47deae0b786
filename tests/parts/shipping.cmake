# What we ship: architecture, manifest, static linking, and the DLL search
# that keeps a planted library in the current folder out (under Wine).
if(WIN32)
  set(_ship ${CMAKE_BINARY_DIR}/tests/shipping)
  add_library(planted_library SHARED shipping/planted_library.cpp)
  set_target_properties(planted_library PROPERTIES PREFIX "" OUTPUT_NAME FT_ET99_API
    RUNTIME_OUTPUT_DIRECTORY ${_ship}/planted LIBRARY_OUTPUT_DIRECTORY ${_ship}/planted)

  add_executable(dll_search_probe shipping/dll_search_probe.cpp)
  target_include_directories(dll_search_probe PRIVATE ${CMAKE_SOURCE_DIR}/printer)
  target_link_options(dll_search_probe PRIVATE -municode)
  set_target_properties(dll_search_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${_ship})

  if(TARGET gtest)
    orvo_add_gtest(shipping_tests UNIT SOURCES shipping/shipping_test.cpp LIBS)
    target_compile_definitions(shipping_tests PRIVATE
      "ORVO_PRINTER_EXE=\"Z:$<TARGET_FILE:orvo_Printer>\""
      "ORVO_AGENT_EXE=\"Z:$<TARGET_FILE:Agent>\""
      "ORVO_PLANTED_DLL=\"Z:$<TARGET_FILE:planted_library>\""
      "ORVO_DLL_SEARCH_PROBE=\"Z:$<TARGET_FILE:dll_search_probe>\"")
    add_dependencies(shipping_tests planted_library dll_search_probe orvo_Printer Agent)
  endif()
endif()

# The same facts read from the files, without running them.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_arch x86)
  else()
    set(_arch amd64)
  endif()
  add_test(NAME executables_static
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/shipping/check-executables.sh ${_arch} ${CMAKE_OBJDUMP}
            $<TARGET_FILE:orvo_Printer> $<TARGET_FILE:Agent>)
  set_tests_properties(executables_static PROPERTIES LABELS "unit;static")
endif()
