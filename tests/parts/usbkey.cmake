# The software USB key: FT_ET99_API.dll for the login tests, never shipped.
# It lands in a folder of its own, which the tests put on the DLL search path
# (WINEPATH), so that a run without it finds no key library at all.
if(WIN32)
  set(ORVO_SOFTWARE_KEY_DIR ${CMAKE_BINARY_DIR}/tests/fakes/usbkey)
  add_library(software_key SHARED fakes/usbkey/software_key.cpp fakes/usbkey/FT_ET99_API.def)
  set_target_properties(software_key PROPERTIES PREFIX "" OUTPUT_NAME FT_ET99_API
    RUNTIME_OUTPUT_DIRECTORY ${ORVO_SOFTWARE_KEY_DIR} LIBRARY_OUTPUT_DIRECTORY ${ORVO_SOFTWARE_KEY_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${ORVO_SOFTWARE_KEY_DIR})
  target_include_directories(software_key PRIVATE ${CMAKE_SOURCE_DIR}/printer)
  target_link_libraries(software_key PRIVATE gcrypt_dep)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # The .def names the plain names; map them to the name@N symbols quietly.
    target_link_options(software_key PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
endif()
