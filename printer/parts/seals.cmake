# Sign and edit modes: the Word link, the seal window and its seal list, and
# the main window's two flows that use them.
target_sources(orvo_core PRIVATE seals/seal_list.cpp)
if(WIN32)
  target_sources(orvo_app PRIVATE
    hosting/word_link.cpp
    seals/WordAuto.cpp
    seals/seal_grid.cpp
    seals/file_stamp.cpp
    main/word_flows.cpp)
endif()
