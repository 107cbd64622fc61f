# What the zig builds share (cmake/zig-macos.cmake, cmake/zig-linux-x86_64.cmake): zig's clang and
# libc++, started by the wrappers beside this file, for the target `hanoi_zig_target`.
set(CMAKE_C_COMPILER "${CMAKE_CURRENT_LIST_DIR}/cc")
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/c++")
set(CMAKE_C_COMPILER_TARGET ${hanoi_zig_target})
set(CMAKE_CXX_COMPILER_TARGET ${hanoi_zig_target})

# zig builds libc++ for each optimisation level it is given and keeps it (~/.cache/zig): the test
# programs that CMake compiles while it configures are built as the Release build is, so that a
# fresh machine builds it once for each target, not again unoptimised.
set(CMAKE_TRY_COMPILE_CONFIGURATION Release)
