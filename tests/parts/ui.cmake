# Main window: the shadow picture arithmetic, on every build.
if(TARGET gtest)
  orvo_add_gtest(ui_shadow_bitmap_test SOURCES ui/shadow_bitmap_test.cpp LIBS orvo_core)
endif()
