target_sources(orvo_winsupport PRIVATE
  support/window.cpp
)
