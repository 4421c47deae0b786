# The main window's report download and print flows.
if(WIN32)
  target_sources(orvo_app PRIVATE main/download_flow.cpp main/print_flow.cpp)
endif()
# The upload worker and the main window's side of it.
if(WIN32)
  target_sources(orvo_app PRIVATE main/upload_worker.cpp main/upload_flow.cpp)
endif()
