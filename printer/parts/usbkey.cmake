# The USB-key login: reading the login values and the texts it shows and
# sends (portable), the key vendor's library and the login flow (Windows).
target_sources(orvo_core PRIVATE usbkey/login_request.cpp)
if(WIN32)
  target_sources(orvo_app PRIVATE usbkey/usbkey_library.cpp usbkey/un_Usbkey.cpp main/post_login.cpp)
endif()
