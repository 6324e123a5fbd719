# Cross build for x86 Windows with MinGW-w64 (posix threads), fully static so
# that the DLL needs nothing beside the system's own libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KELVORA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVORA_MINGW_TRIPLE}-windres)
set(KELVORA_WIDL ${KELVORA_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles are computed in SSE2 registers, rounded to 64 bits after every
# operation as on x64; the x87 default keeps 80-bit intermediates, which
# changes the last digit of computed rates.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# libstdc++, libgcc and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
