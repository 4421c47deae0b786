# Portable core of request intake: text helpers, container stream, the
# payload decoder and the request steps. No <windows.h> in any of these.
target_sources(orvo_core PRIVATE
  support/portable/delimited_list.cpp
  support/portable/percent.cpp
  support/portable/codepage.cpp
  support/portable/container_stream.cpp
  usbkey/gcrypt_init.cpp
  usbkey/payload_decoder.cpp
  main/request_intake.cpp
  main/request_params.cpp)

# Code page 936: iconv on Linux, the system's own table on Windows.
if(WIN32)
  target_sources(orvo_winsupport PRIVATE support/win32/codepage_win.cpp)
else()
  target_sources(orvo_core PRIVATE support/portable/codepage_posix.cpp)
endif()
if(WIN32)
  # orvo_core's text conversion calls into orvo_winsupport there: a cycle of
  # static libraries, which CMake repeats on the link line.
  target_link_libraries(orvo_core INTERFACE orvo_winsupport)
endif()
