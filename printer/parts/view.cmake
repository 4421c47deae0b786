# View mode: the preview window with its tool bar, the floating title bar
# and the view flow of the main window.
if(WIN32)
  target_sources(orvo_app PRIVATE
    hosting/borrowed_lock_bytes.cpp
    hosting/frmPrivew.cpp
    hosting/frm_WriteRead_bar.cpp
    main/view_flow.cpp)
  set_property(SOURCE resources/orvo_Printer.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_save.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_print.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_actual_size.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_fit_width.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_fit_page.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_zoom_out.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_zoom_in.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/tool_separator.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/bar_close_normal.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/bar_close_pressed.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/bar_close_released.png)
endif()
if(WIN32)
  # AssocIsDangerous.
  target_link_libraries(orvo_app PUBLIC delay_shlwapi)
endif()
