# The helpdesk log: what may be written (portable) and the daily files under
# %LOCALAPPDATA%\orvo\logs (Windows).
target_sources(orvo_core PRIVATE support/portable/helpdesk_log_text.cpp)
if(WIN32)
  target_sources(orvo_win32 PRIVATE support/win32/helpdesk_log.cpp)
endif()
if(WIN32)
  set_property(SOURCE support/win32/helpdesk_log.cpp APPEND PROPERTY COMPILE_DEFINITIONS ORVO_VERSION="${PROJECT_VERSION}")
endif()
