# Finds only the OpenAL headers (AL/al.h, AL/alc.h, AL/alext.h): the library itself is opened at
# run time, so nothing here may be linked.
#
# The headers serve every platform (on Windows they declare Windows' calling convention themselves),
# so a cross build takes the host's: their AL folder is copied into the build, since the host's
# whole include folder would hide the target's C library headers from the cross compiler.
if(CMAKE_CROSSCOMPILING)
  find_path(OPENAL_HOST_INCLUDE_DIR AL/alc.h PATHS /usr/local/include /usr/include NO_CMAKE_FIND_ROOT_PATH)
  mark_as_advanced(OPENAL_HOST_INCLUDE_DIR)
  if(OPENAL_HOST_INCLUDE_DIR)
    file(COPY "${OPENAL_HOST_INCLUDE_DIR}/AL" DESTINATION "${CMAKE_BINARY_DIR}/openal-headers")
    set(OPENAL_INCLUDE_DIR "${CMAKE_BINARY_DIR}/openal-headers" CACHE PATH "The folder that holds AL/alc.h")
  endif()
else()
  # After the system's folders, where a Mac has OpenAL Soft's headers (the system's OpenAL.framework
  # has them under other names): Homebrew's, which it keeps out of its prefix since macOS has an
  # OpenAL (on Apple silicon, then on Intel Macs), and MacPorts'.
  find_path(OPENAL_INCLUDE_DIR AL/alc.h
            PATHS /opt/homebrew/opt/openal-soft/include /usr/local/opt/openal-soft/include /opt/local/include)
endif()
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenALHeaders REQUIRED_VARS OPENAL_INCLUDE_DIR)
mark_as_advanced(OPENAL_INCLUDE_DIR)
