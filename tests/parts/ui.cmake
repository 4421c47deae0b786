# Main window: the shadow picture arithmetic on every build; the controls,
# pictures, shadow window and application events under Wine.
if(TARGET gtest)
  orvo_add_gtest(ui_shadow_bitmap_test UNIT SOURCES ui/shadow_bitmap_test.cpp ui/picture_fit_test.cpp LIBS orvo_core)
  if(WIN32)
    orvo_add_gtest(ui_controls_test SOURCES ui/controls_test.cpp LIBS orvo_app)
    target_compile_definitions(ui_controls_test PRIVATE ORVO_RESOURCE_DIR="Z:${CMAKE_SOURCE_DIR}/printer/resources")
  endif()
endif()
