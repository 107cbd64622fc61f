# The tests of a cross build (Windows, or Linux on another processor), which run under the emulator
# that its toolchain file names (CMAKE_CROSSCOMPILING_EMULATOR): Wine, or qemu-user.

# GoogleTest built for the target from Debian's sources (libgtest-dev ships them beside the host's
# libraries), only the libraries that tests link. find_package(GTest) then finds these: a config
# file in the folder for such redirections comes before any search.
set(HANOI_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources, built for a cross build's tests")
set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
add_subdirectory(${HANOI_GOOGLETEST_DIR} googletest EXCLUDE_FROM_ALL SYSTEM)
# Unoptimised: how fast GoogleTest itself runs does not count, and its one large file takes a third
# of the time to compile. The C library fortifies only optimised code (clang says so, as an error
# here); the option in this form, as CMake would drop a second -U_FORTIFY_SOURCE.
target_compile_options(gtest PRIVATE -O0 "SHELL:-U _FORTIFY_SOURCE")
file(WRITE "${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake" "# GTest::gtest and GTest::gtest_main, built here\n")

if(WIN32)
  return()
endif()

# The tests start the program by its path, also through `bash -c 'exec "$0"'`: the path of a
# script that runs it under the emulator, as the kernel would if it knew the emulator (binfmt_misc,
# which a container may lack). exec keeps the process the tests signal and wait for. A build whose
# programs run natively (the libc++ build) has no emulator, and its tests start the program itself.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(HANOI_CHIMES_TEST_PATH "${PROJECT_BINARY_DIR}/hanoi-chimes-emulated")
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "\" \"" _hanoi_emulator)
  file(GENERATE OUTPUT "${HANOI_CHIMES_TEST_PATH}"
       CONTENT "#!/bin/sh\nexec \"${_hanoi_emulator}\" \"$<TARGET_FILE:hanoi-chimes>\" \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

# The program's own tests that run under the emulator, as a --gtest_filter. Left out: the runs
# checked by valgrind's memcheck (under the emulator it would check the shell that starts it, and
# the run would pass unchecked; the native builds check memory), and the fault sweep: the same
# code on every processor, and some 40 s of notes to sleep through, as long as the build and every
# other test here together.
set(HANOI_PROGRAM_TEST_FILTER "-Program.ThreeDiscsWithTheNullBackend:\
Program.ADeviceThatCannotBeOpenedIsReportedAfterTheDeviceLines:\
ProgramOnFake.TwoDiscsPlayEveryNoteWithItsReferenceFramesAndReleaseEverything:\
ProgramOnFake.EveryFatalPointOfStartUpReportsThenReleasesLatestFirst:\
ProgramOnFake.AFailedContextCreationIsReportedAfterTheDeviceIsClosed:\
ProgramOnFake.ANoteThatCannotBePlayedEndsTheRunWithStatusTwoAfterReleasingEverything:\
ProgramOnFake.ABufferThatCannotBeMadeIsFatalAndEverythingIsReleasedAfterTheReport:\
FaultSweep.*")
