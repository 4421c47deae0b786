# Unit tests of the portable request core and the link encoder: natively
# under the sanitizers, and the same sources as a Windows executable under
# Wine.
if(TARGET gtest)
  # keygen always writes 65537; override when the build key came from elsewhere.
  set(ORVO_TEST_RSA_PUBLIC_EXPONENT "010001" CACHE STRING
      "public exponent that pairs with ORVO_RSA_MODULUS/ORVO_RSA_EXPONENT, same text form")
  orvo_add_gtest(core_tests UNIT
    SOURCES unit/core_test_keys.cpp unit/text_helpers_test.cpp unit/payload_decoder_test.cpp
            unit/request_intake_test.cpp unit/link_encoder_test.cpp
            unit/login_request_test.cpp
    LIBS orvo_link_encoder orvo_core)
  target_compile_definitions(core_tests PRIVATE
    ORVO_TEST_RSA_PUBLIC_EXPONENT="${ORVO_TEST_RSA_PUBLIC_EXPONENT}")
  if(WIN32)
    # The tests compare with text converted at the Win32 boundary.
    target_link_libraries(core_tests PRIVATE orvo_win32)
  endif()
endif()
# The command-line tool is run by the tests too (through Wine's drive Z: on Windows).
if(TARGET core_tests)
  if(WIN32)
    target_compile_definitions(core_tests PRIVATE ORVO_LINK_TOOL="Z:$<TARGET_FILE:orvo-link>")
  else()
    target_compile_definitions(core_tests PRIVATE ORVO_LINK_TOOL="$<TARGET_FILE:orvo-link>")
  endif()
  add_dependencies(core_tests orvo-link)
endif()
