# Main window, its controls and the drop shadow.
target_sources(orvo_core PRIVATE support/shadow_bitmap.cpp)
