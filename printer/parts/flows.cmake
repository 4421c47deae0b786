# The main window's report download and print flows; the portable naming
# rules for the local copies of reports.
target_sources(orvo_core PRIVATE main/temp_name.cpp main/local_name.cpp)
if(WIN32)
  target_sources(orvo_app PRIVATE main/download_flow.cpp main/print_flow.cpp)
endif()
