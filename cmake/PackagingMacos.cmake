# macOS: the program and its manual page, as `cmake --install` puts them on a Mac.
install(TARGETS hanoi-chimes RUNTIME DESTINATION bin)
install(FILES "${PROJECT_SOURCE_DIR}/man/hanoi-chimes.1" DESTINATION share/man/man1)

# Cross-compiled with zig (cmake/zig-macos.cmake, the preset macos): the arm64 build also makes the
# x86-64 program, as a second build of the same sources in its folder x86_64, and joins the two
# into one universal program (universal/hanoi-chimes), which Apple silicon and Intel Macs both run.
# That program, the manual page, the README, the license and the notice of the sine's code are
# packed into hanoi-chimes-VERSION-macos.tar.gz, in one folder: a tar file keeps the program's mode.
if(NOT CMAKE_CROSSCOMPILING OR NOT HANOI_MACOS_ARCH STREQUAL "arm64")
  return()
endif()

include(ExternalProject)
set(_hanoi_x86_64_program "${PROJECT_BINARY_DIR}/x86_64/hanoi-chimes")
ExternalProject_Add(hanoi-chimes-x86_64
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${PROJECT_BINARY_DIR}/x86_64"
  CMAKE_ARGS "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}" -DHANOI_MACOS_ARCH=x86_64
             "-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}" "-DHANOI_WERROR=${HANOI_WERROR}"
             "-DHANOI_HARDEN=${HANOI_HARDEN}" "-DCMAKE_UNITY_BUILD=${CMAKE_UNITY_BUILD}" -DHANOI_TESTS=OFF
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${_hanoi_x86_64_program}"
  INSTALL_COMMAND ""
)

# Debian's llvm-lipo (llvm-14) joins the two; the arm64 program keeps the signature its linker gave it.
find_program(HANOI_LIPO NAMES llvm-lipo-14 llvm-lipo REQUIRED)
mark_as_advanced(HANOI_LIPO)
set(_hanoi_universal "${PROJECT_BINARY_DIR}/universal/hanoi-chimes")
add_custom_command(
  OUTPUT "${_hanoi_universal}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/universal"
  COMMAND "${HANOI_LIPO}" -create "$<TARGET_FILE:hanoi-chimes>" "${_hanoi_x86_64_program}" -output "${_hanoi_universal}"
  DEPENDS hanoi-chimes hanoi-chimes-x86_64 "${_hanoi_x86_64_program}"
  COMMENT "Joining the arm64 and x86-64 programs into one universal program"
  VERBATIM
)

set(_hanoi_package_name "hanoi-chimes-${PROJECT_VERSION}-macos")
set(_hanoi_package_files "${_hanoi_universal}" "${PROJECT_SOURCE_DIR}/man/hanoi-chimes.1"
                         "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/NOTICE")
set(_hanoi_package_dir "${PROJECT_BINARY_DIR}/package")
add_custom_command(
  OUTPUT "${PROJECT_BINARY_DIR}/${_hanoi_package_name}.tar.gz"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${_hanoi_package_dir}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${_hanoi_package_dir}/${_hanoi_package_name}"
  COMMAND "${CMAKE_COMMAND}" -E copy ${_hanoi_package_files} "${_hanoi_package_dir}/${_hanoi_package_name}"
  COMMAND "${CMAKE_COMMAND}" -E chdir "${_hanoi_package_dir}"
          "${CMAKE_COMMAND}" -E tar czf "${PROJECT_BINARY_DIR}/${_hanoi_package_name}.tar.gz" "${_hanoi_package_name}"
  DEPENDS ${_hanoi_package_files}
  COMMENT "Packing ${_hanoi_package_name}.tar.gz"
  VERBATIM
)
add_custom_target(hanoi-chimes-macos-package ALL DEPENDS "${PROJECT_BINARY_DIR}/${_hanoi_package_name}.tar.gz")
