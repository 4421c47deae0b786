# Portable core of request intake: the payload decoder and the request steps.
# No <windows.h> in any of these.
target_sources(orvo_core PRIVATE
  usbkey/gcrypt_init.cpp
  usbkey/payload_decoder.cpp
  main/request_intake.cpp
  main/request_params.cpp)
