# Trusted servers: reading origins and matching them against the lists
# (portable), the lists in the registry and the question to the user
# (Windows).
target_sources(orvo_core PRIVATE core/server_origin.cpp)
if(WIN32)
  target_sources(orvo_win32 PRIVATE support/win32/server_lists.cpp)
  target_sources(orvo_app PRIVATE main/server_trust.cpp hosting/office_macros.cpp)
endif()
