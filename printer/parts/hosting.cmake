# Document hosting: the OLE document container and the hidden print host.
if(WIN32)
  target_sources(orvo_app PRIVATE hosting/office_suite.cpp hosting/ole_container.cpp hosting/frm_xlsOLE.cpp)
endif()
