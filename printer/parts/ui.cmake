# Main window.
if(WIN32)
  target_sources(orvo_app PRIVATE main/frm_Main.cpp)
  # Pictures the resource script embeds: rebuild it when they change.
  set_property(SOURCE resources/orvo_Printer.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/logo.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/close_normal.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/close_pressed.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/close_released.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/orvo_Printer.ico)
endif()
