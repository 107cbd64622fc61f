# Cross-compiles for 64-bit ARM Linux with Debian's cross compilers (g++-aarch64-linux-gnu). The
# build's programs and tests run under qemu-user's emulator, with Debian's arm64 libraries (libc6,
# libstdc++6, libopenal1, installed through multiarch: dpkg --add-architecture arm64), whose loader
# /lib/ld-linux-aarch64.so.1 the emulator starts as the machine's own loader would.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Libraries, headers and packages come from the arm64 side only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The static build, so that LD_LIBRARY_PATH, which a test gives the program, reaches only the
# program's loader, never the emulator's.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64-static)
