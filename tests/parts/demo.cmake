# What scripts/demo.sh runs, and nothing else (no unit tests): both programs,
# the Office substitute with its tools, the software USB key and the UI driver.
if(WIN32)
  add_custom_target(demo)
  add_dependencies(demo Agent orvo_Printer orvo_fake_office fake_office_docgen fake_office_ctl software_key uidriver)
endif()
