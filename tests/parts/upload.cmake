# The upload worker: its portable core natively and under Wine, and the
# worker itself under Wine against the test web server's upload endpoint
# (tests/server/endpoints_upload.py).
if(TARGET gtest)
  orvo_add_gtest(upload_core_tests UNIT SOURCES upload/upload_core_test.cpp LIBS orvo_core)
  if(WIN32)
    # Portable code, which the sanitizers check in the host build: under
    # Wine's heap checks its 50 000-level reply alone takes 90 s.
    set_tests_properties(upload_core_tests PROPERTIES ENVIRONMENT ORVO_WINE_HEAP_CHECK=0)
  endif()
endif()

if(WIN32 AND TARGET gtest)
  # The main window needs its pictures: the test carries them as the program does.
  set(pictures ${CMAKE_SOURCE_DIR}/printer/resources)
  # Written only when its text changes, so that a new configure does not
  # relink the test.
  string(CONCAT rc
    "#include \"resources/resource_ids.h\"\n"
    "IDR_PNG_LOGO RCDATA \"${pictures}/logo.png\"\n"
    "IDR_PNG_CLOSE_NORMAL RCDATA \"${pictures}/close_normal.png\"\n"
    "IDR_PNG_CLOSE_PRESSED RCDATA \"${pictures}/close_pressed.png\"\n"
    "IDR_PNG_CLOSE_RELEASED RCDATA \"${pictures}/close_released.png\"\n")
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/upload_test_pictures.rc CONTENT "${rc}" @ONLY)
  orvo_add_gtest(upload_worker_tests
    SOURCES upload/upload_worker_test.cpp ${CMAKE_CURRENT_BINARY_DIR}/upload_test_pictures.rc
    LIBS orvo_app ws2_32)
  target_include_directories(upload_worker_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endif()

# Upload benchmark, run by tests/bench/http-bench.sh (not a test).
if(WIN32)
  add_executable(upload_bench EXCLUDE_FROM_ALL bench/upload_bench.cpp)
  target_link_libraries(upload_bench PRIVATE orvo_app psapi)
endif()
