# The Windows package: `cpack` in the build folder makes a zip file whose one folder holds the
# program, the README, the license with the notice of the sine's code, and the manual as plain text.
# OpenAL is not in it: users get OpenAL Soft's Windows build (soft_oal.dll) or any OpenAL32.dll.

install(TARGETS hanoi-chimes RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/NOTICE"
        DESTINATION .)

# The manual page, formatted by groff on the building machine as plain ASCII text without the
# terminal's bold and underlining, so that any Windows editor shows it.
find_program(HANOI_GROFF groff)
mark_as_advanced(HANOI_GROFF)
if(NOT HANOI_GROFF)
  message(FATAL_ERROR "groff is needed to turn the manual page into text for the Windows package")
endif()
set(_hanoi_manual_text "${PROJECT_BINARY_DIR}/doc/hanoi-chimes.txt")
add_custom_command(
  OUTPUT "${_hanoi_manual_text}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/doc"
  COMMAND "${HANOI_GROFF}" -man -Tascii -P-cbou "${PROJECT_SOURCE_DIR}/man/hanoi-chimes.1" > "${_hanoi_manual_text}"
  DEPENDS "${PROJECT_SOURCE_DIR}/man/hanoi-chimes.1"
  COMMENT "Formatting the manual page as text"
  VERBATIM
)
add_custom_target(hanoi-chimes-manual-text ALL DEPENDS "${_hanoi_manual_text}")
install(FILES "${_hanoi_manual_text}" DESTINATION .)

set(CPACK_GENERATOR "ZIP")
set(CPACK_PACKAGE_NAME "hanoi-chimes")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "hanoi-chimes developers")
set(CPACK_PACKAGE_FILE_NAME "hanoi-chimes-${PROJECT_VERSION}-windows-x86_64")
set(CPACK_STRIP_FILES ON)
include(CPack)
