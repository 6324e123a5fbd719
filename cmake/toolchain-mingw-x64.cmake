# Cross build for x64 Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELVORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
