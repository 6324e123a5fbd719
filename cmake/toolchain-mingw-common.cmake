# Shared part of the MinGW-w64 cross builds (posix threads), fully static so
# that the DLL needs nothing beside the system's own libraries. The including
# file sets CMAKE_SYSTEM_PROCESSOR and KELVORA_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KELVORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVORA_MINGW_TRIPLE}-windres)
set(KELVORA_WIDL ${KELVORA_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC cannot align the stack beyond 16 bytes for Windows (the x64 unwind data
# forbids realigning it), so aligned moves of the 32- and 64-byte vector values
# it keeps there could fault; the assembler writes them as unaligned moves,
# which cost the same on the processors that have these vectors.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# libstdc++, libgcc and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
