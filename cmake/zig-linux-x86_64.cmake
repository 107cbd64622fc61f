# Builds for x86-64 Linux with zig's clang and LLVM's libc++, the compiler and standard library of
# the macOS build, so that the tests run with them here. The C library is glibc, linked against
# zig's stubs of its version 2.34, the newest that zig 0.11 knows (Debian 12 has 2.36, which keeps
# every older symbol). Named a cross build, so that GoogleTest is built from its sources with the
# same compiler and library (cmake/CrossTesting.cmake): Debian's is built for libstdc++. Its
# programs run natively; no emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# Debian's folder for x86-64 libraries, which zig's clang does not report as gcc does: the packaging
# finds OpenAL's runtime library and the package's architecture by it.
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)

set(hanoi_zig_target x86_64-linux-gnu.2.34)
include("${CMAKE_CURRENT_LIST_DIR}/zig/zig.cmake")
