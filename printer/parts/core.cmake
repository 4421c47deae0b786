# The portable core, all of it in core/: decoding and reading the request,
# the naming rules for local copies of reports, the upload's reply, the seal
# list, the login values and texts, the file types never handed to the shell.
# No <windows.h> in any of these; the host build compiles them and the fuzzer
# reaches them.
target_sources(orvo_core PRIVATE
  core/dangerous_types.cpp
  core/local_name.cpp
  core/login_request.cpp
  core/payload_decoder.cpp
  core/request_intake.cpp
  core/request_params.cpp
  core/seal_list.cpp
  core/temp_name.cpp
  core/upload_reply.cpp)
