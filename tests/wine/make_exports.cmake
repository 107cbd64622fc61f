# Writes the bridge's export list, in winebuild's format, from openal32_exports.in:
#   cmake -DPREPROCESSOR=<compiler> -DSOURCE_DIR=<project> -DOUTPUT=<file> [-DLEAVE_OUT=<name>] -P make_exports.cmake
# The preprocessor writes each list's lines as one; BRIDGE_NEWLINE marks where each begins.
# LEAVE_OUT names a function whose export is left out, for an OpenAL that lacks one.
execute_process(
  COMMAND "${PREPROCESSOR}" -E -P -x c "-I${SOURCE_DIR}/src" "${SOURCE_DIR}/tests/wine/openal32_exports.in"
  OUTPUT_VARIABLE expanded
  COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "BRIDGE_NEWLINE" ";" lines "${expanded}")
set(exports "")
set(left_out FALSE)
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(LEAVE_OUT AND line MATCHES " ${LEAVE_OUT}\\(\\) ")
    set(left_out TRUE)
  elseif(NOT line STREQUAL "")
    string(APPEND exports "${line}\n")
  endif()
endforeach()
if(LEAVE_OUT AND NOT left_out)
  message(FATAL_ERROR "${LEAVE_OUT} is not in the entry-point lists")
endif()
file(WRITE "${OUTPUT}" "${exports}")
