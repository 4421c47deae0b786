# Sign and edit modes: the Word link, the seal window, and the main window's
# two flows that use them.
if(WIN32)
  target_sources(orvo_app PRIVATE
    hosting/word_link.cpp
    seals/WordAuto.cpp
    seals/seal_grid.cpp
    seals/file_stamp.cpp
    main/word_flows.cpp)
endif()
