# HTTP: URL checking and form bodies (portable), the WinHTTP client and the
# pumped wait that keeps the user-interface thread alive during transfers.
target_sources(orvo_core PRIVATE support/portable/http_url.cpp support/portable/multipart.cpp)
if(WIN32)
  target_sources(orvo_winsupport PRIVATE support/net/http_client.cpp support/net/pumped_wait.cpp)
endif()
