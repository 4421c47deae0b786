target_sources(orvo_app PRIVATE
  application.cpp
)
