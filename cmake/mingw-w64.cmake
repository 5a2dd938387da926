# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which the
# standard library's std::thread and std::mutex need). The programs link their runtime statically,
# so they run under Wine or on a bare Windows machine without MinGW's DLLs beside them.
#
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALVO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALVO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVO_MINGW_TRIPLET}-windres)

# Headers and libraries come from the MinGW tree only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KALVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the Windows programs under Wine.
find_program(KALVO_WINE wine)
if(KALVO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KALVO_WINE})
endif()
