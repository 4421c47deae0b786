# The USB-key login: the key vendor's library and the login flow.
if(WIN32)
  target_sources(orvo_app PRIVATE usbkey/usbkey_library.cpp usbkey/un_Usbkey.cpp main/post_login.cpp)
endif()
