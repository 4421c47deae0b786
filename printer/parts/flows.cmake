# The main window's report download and print flows.
if(WIN32)
  target_sources(orvo_app PRIVATE main/download_flow.cpp main/print_flow.cpp)
endif()
# The upload worker.
if(WIN32)
  target_sources(orvo_app PRIVATE main/upload_worker.cpp)
endif()
