# libFuzzer over request intake (clang only): configure with -DORVO_FUZZ=ON
# -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang, or run
# tests/fuzz/run-fuzz.sh.
if(ORVO_FUZZ)
  set(ORVO_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(orvo_core PRIVATE -fsanitize=fuzzer-no-link ${ORVO_FUZZ_FLAGS})
  target_compile_options(orvo_link_encoder PRIVATE -fsanitize=fuzzer-no-link ${ORVO_FUZZ_FLAGS})

  add_executable(fuzz_request fuzz/fuzz_request.cpp)
  target_link_libraries(fuzz_request PRIVATE orvo_link_encoder orvo_core)
  target_compile_options(fuzz_request PRIVATE -fsanitize=fuzzer ${ORVO_FUZZ_FLAGS})
  target_link_options(fuzz_request PRIVATE -fsanitize=fuzzer,address,undefined)
  set_target_properties(fuzz_request PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endif()
