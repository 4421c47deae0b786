# The main window's report download and print flows; the portable naming
# rules for the local copies of reports.
target_sources(orvo_core PRIVATE main/temp_name.cpp main/local_name.cpp)
if(WIN32)
  target_sources(orvo_app PRIVATE main/download_flow.cpp main/print_flow.cpp)
endif()
# The upload worker: reply reading and MD5 (portable), the worker itself and
# the synchronous calls it makes onto the user-interface thread.
target_sources(orvo_core PRIVATE main/upload_reply.cpp support/portable/md5.cpp)
if(WIN32)
  target_sources(orvo_ui PRIVATE support/ui/ui_thread_calls.cpp)
  target_sources(orvo_app PRIVATE main/upload_worker.cpp)
endif()
