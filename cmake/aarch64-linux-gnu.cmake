# Cross build for 64-bit ARM Linux (arm64: a Raspberry Pi class board with Debian 12) with Debian's
# cross compiler and the :arm64 development packages installed beside the host's (multiarch). Only
# what runs without a display is built: the recorder, unitsim and their tests.
#
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# ctest runs the test programs under qemu-user. They run on the arm64 libraries of the multiarch
# folders, the C library and the loader of libc6:arm64 included, as on the board; not on the cross
# toolchain's copies in /usr/aarch64-linux-gnu (qemu -L), whose C library (2.36-8cross1) never
# returns from pthread_create under Debian 12's qemu.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(KALVO_CROSS_TRIPLET aarch64-linux-gnu)
set(KALVO_DEBIAN_ARCHITECTURE arm64)
set(CMAKE_C_COMPILER ${KALVO_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KALVO_CROSS_TRIPLET}-g++)
# GCC 12 for arm64 takes std::string's appends, inlined at -O3, for overlapping copies of more than
# 2^63 bytes (its bug 105651); the warning says nothing about this code there.
set(CMAKE_CXX_FLAGS_INIT -Wno-restrict)

# Libraries and their pkg-config files from the arm64 multiarch folders only.
set(CMAKE_LIBRARY_ARCHITECTURE ${KALVO_CROSS_TRIPLET})
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${KALVO_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)

set(KALVO_BUILD_GUI OFF CACHE BOOL "No Qt for arm64 here: the recorder's box has no display")
set(KALVO_BUILD_BENCH OFF CACHE BOOL "Benchmarks are measured natively")

find_program(KALVO_QEMU qemu-aarch64-static)
if(KALVO_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KALVO_QEMU})
endif()
