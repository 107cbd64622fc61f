# Finds only the OpenAL headers (AL/al.h, AL/alc.h, AL/alext.h): the library itself is opened at
# run time, so nothing here may be linked.
find_path(OPENAL_INCLUDE_DIR AL/alc.h)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenALHeaders REQUIRED_VARS OPENAL_INCLUDE_DIR)
mark_as_advanced(OPENAL_INCLUDE_DIR)
