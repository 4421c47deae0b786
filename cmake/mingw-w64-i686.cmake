# Cross toolchain for the shipped Windows build: 32-bit, so that the USB key
# vendor's 32-bit library loads in process and the program runs on 32-bit
# Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
