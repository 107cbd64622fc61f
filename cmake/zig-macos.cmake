# Cross-compiles for macOS 11 and later with zig's clang and its libc++ (scripts/macos.sh installs
# zig; cmake/zig/ starts it). This build is the arm64 one (Apple silicon); it makes the x86-64 one
# (Intel) as a second build of the same sources, given HANOI_MACOS_ARCH=x86_64, and joins the two
# into one universal program (cmake/PackagingMacos.cmake). zig brings the macOS headers and
# libSystem's link stubs, links its libc++ into the program and signs the arm64 program ad hoc, as
# Apple silicon runs only signed code.
set(CMAKE_SYSTEM_NAME Darwin)
set(HANOI_MACOS_ARCH arm64 CACHE STRING "The processor of this macOS build: arm64, or x86_64")
# The test programs that CMake compiles while it configures are built for the same processor.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HANOI_MACOS_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${HANOI_MACOS_ARCH})
if(HANOI_MACOS_ARCH STREQUAL "arm64")
  set(hanoi_zig_target aarch64-macos.11.0)
else()
  set(hanoi_zig_target ${HANOI_MACOS_ARCH}-macos.11.0)
endif()
include("${CMAKE_CURRENT_LIST_DIR}/zig/zig.cmake")
# The program's library is archived with LLVM's tools (llvm-14, which scripts/macos.sh installs
# for llvm-lipo): a machine that builds only this needs no other compiler's binutils.
set(CMAKE_AR llvm-ar-14)
set(CMAKE_RANLIB llvm-ranlib-14)
