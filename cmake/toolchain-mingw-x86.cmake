# Cross build for x86 Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELVORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Doubles are computed in SSE2 registers, rounded to 64 bits after every
# operation as on x64; the x87 default keeps 80-bit intermediates, which
# changes the last digit of computed rates.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
