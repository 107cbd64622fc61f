# Installation and the Debian package: the program, its manual page, and a private folder that
# lets the installed program open OpenAL on a machine with the runtime library alone.
#
# The program opens OpenAL at run time as "libopenal.so", a name that Debian's libopenal1 does not
# ship (only libopenal-dev does: libopenal1 has libopenal.so.1). So the installation adds a folder
# of its own, ${CMAKE_INSTALL_LIBDIR}/hanoi-chimes, holding one symbolic link
#
#   libopenal.so -> HANOI_OPENAL_RUNTIME   (by default /usr/lib/<multiarch triplet>/libopenal.so.1)
#
# and puts that folder on the program's run path, relative to the program ($ORIGIN), so the same
# binary works from the package, from any `cmake --install --prefix`, and after moving the prefix.
# The link is relative when the runtime library lies inside the prefix (the package's /usr), as
# Debian wants of a link within one tree, and absolute otherwise: the runtime library sits at a
# fixed system path, and an absolute link keeps to it wherever the prefix is moved. The run path
# is a DT_RUNPATH, which the loader searches after LD_LIBRARY_PATH, so LD_LIBRARY_PATH can still
# hand the program a different OpenAL.

include(GNUInstallDirs)

# Where the link points: the library that libopenal1 installs on this machine's architecture.
# Debian and its derivatives keep it in the multiarch folder; elsewhere the folder the library is
# found in now. Override it for another layout (for example -DHANOI_OPENAL_RUNTIME=/usr/lib64/libopenal.so.1).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(_hanoi_openal_runtime_default "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/libopenal.so.1")
else()
  find_library(HANOI_OPENAL_RUNTIME_FOUND NAMES libopenal.so.1)
  mark_as_advanced(HANOI_OPENAL_RUNTIME_FOUND)
  set(_hanoi_openal_runtime_default "${HANOI_OPENAL_RUNTIME_FOUND}")
  if(NOT _hanoi_openal_runtime_default)
    set(_hanoi_openal_runtime_default "")
  endif()
endif()
set(HANOI_OPENAL_RUNTIME "${_hanoi_openal_runtime_default}" CACHE STRING
    "Absolute path of the OpenAL runtime library the installed program opens (empty: no private link)")

if(HANOI_OPENAL_RUNTIME AND NOT IS_ABSOLUTE "${HANOI_OPENAL_RUNTIME}")
  # A relative link target would be resolved against the private folder, never the loader's path.
  message(FATAL_ERROR "HANOI_OPENAL_RUNTIME must be an absolute path: ${HANOI_OPENAL_RUNTIME}")
endif()
if(NOT HANOI_OPENAL_RUNTIME)
  message(WARNING "No OpenAL runtime library (libopenal.so.1) found: the installed program will find "
                  "OpenAL only where libopenal.so is on the loader's path. Set HANOI_OPENAL_RUNTIME.")
elseif(NOT EXISTS "${HANOI_OPENAL_RUNTIME}" AND NOT CMAKE_CROSSCOMPILING)
  message(STATUS "${HANOI_OPENAL_RUNTIME} is not on this machine: the installed program needs it where it runs")
endif()

# The private folder, under the library folder, and the run path that reaches it from the
# program's own folder.
set(HANOI_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/hanoi-chimes")
file(RELATIVE_PATH _hanoi_bin_to_private "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}/hanoi-chimes")
set(_hanoi_install_runpath "$ORIGIN/${_hanoi_bin_to_private}")

# CMake's own INSTALL_RPATH handling is not used: to rewrite the run path in place at install time
# it pads the build-tree program's run path with empty entries, and the loader reads an empty entry
# as the current folder, so the built program would load libstdc++ or OpenAL from wherever it is
# started. Instead the program is linked with a run path of the same length or longer, and the
# install rewrites it below. That run path names an empty folder of the build's own, which every
# build of the program makes first: the loader finds nothing there, and no one but the build's
# owner can make or fill it (a folder that did not exist could be made by whoever may write to
# its parent, and would then decide which libopenal.so the program loads).
set(HANOI_BUILD_RUNPATH_DIR "${PROJECT_BINARY_DIR}/no-private-libs")
file(MAKE_DIRECTORY "${HANOI_BUILD_RUNPATH_DIR}")
add_custom_target(hanoi-chimes-runpath-dir
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${HANOI_BUILD_RUNPATH_DIR}"
  VERBATIM
)
add_dependencies(hanoi-chimes hanoi-chimes-runpath-dir)
set(_hanoi_build_runpath "${HANOI_BUILD_RUNPATH_DIR}")
string(LENGTH "${_hanoi_install_runpath}" _hanoi_install_length)
string(LENGTH "${_hanoi_build_runpath}" _hanoi_build_length)
while(_hanoi_build_length LESS _hanoi_install_length)
  string(APPEND _hanoi_build_runpath "/.")
  math(EXPR _hanoi_build_length "${_hanoi_build_length} + 2")
endwhile()
if(_hanoi_build_runpath MATCHES "[,:;$]")
  message(FATAL_ERROR "The build folder's path cannot be a run path (it has one of , : ; $): ${PROJECT_BINARY_DIR}")
endif()
# DT_RUNPATH rather than DT_RPATH, whatever the linker's default: only a RUNPATH lets
# LD_LIBRARY_PATH come first. zig's linker (LLD) writes nothing else, and refuses the option.
include(CheckLinkerFlag)
check_linker_flag(CXX "LINKER:--enable-new-dtags" HANOI_LINKER_HAS_NEW_DTAGS)
if(HANOI_LINKER_HAS_NEW_DTAGS)
  target_link_options(hanoi-chimes PRIVATE "LINKER:--enable-new-dtags")
endif()
target_link_options(hanoi-chimes PRIVATE "LINKER:-rpath,${_hanoi_build_runpath}")

# Right after the program is copied: its run path becomes the private folder's. A program that is
# already installed and up to date keeps the rewritten run path, so it is read first. A stripped
# installation (`cmake --install --strip`, the package) also loses the compiler's notes in .comment
# and .note, which a program needs no more than its symbols, as Debian strips its own programs.
install(CODE "
  set(_program \"${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:hanoi-chimes>\")
  if(NOT IS_ABSOLUTE \"\${_program}\")
    set(_program \"\${CMAKE_INSTALL_PREFIX}/\${_program}\")
  endif()
  set(_program \"\$ENV{DESTDIR}\${_program}\")
  unset(_runpath)
  file(READ_ELF \"\${_program}\" RUNPATH _runpath)
  if(NOT _runpath STREQUAL \"${_hanoi_install_runpath}\")
    file(RPATH_CHANGE FILE \"\${_program}\"
         OLD_RPATH \"${_hanoi_build_runpath}\" NEW_RPATH \"${_hanoi_install_runpath}\")
  endif()
  if(CMAKE_INSTALL_DO_STRIP AND NOT \"${CMAKE_STRIP}\" STREQUAL \"\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note \"\${_program}\"
                    RESULT_VARIABLE _status)
    if(NOT _status EQUAL 0)
      message(FATAL_ERROR \"${CMAKE_STRIP} could not strip \${_program}\")
    endif()
  endif()
")

if(HANOI_OPENAL_RUNTIME)
  # The link is made at install time, under DESTDIR and the prefix the install runs with (also
  # `cmake --install --prefix` and CPack's staging folder), and is listed in the install manifest.
  # The folder is where the link will be used, without DESTDIR: the relative form is computed there.
  install(CODE "
    set(_folder \"${HANOI_PRIVATE_LIBDIR}\")
    if(NOT IS_ABSOLUTE \"\${_folder}\")
      set(_folder \"\${CMAKE_INSTALL_PREFIX}/\${_folder}\")
    endif()
    set(_target \"${HANOI_OPENAL_RUNTIME}\")
    cmake_path(IS_PREFIX CMAKE_INSTALL_PREFIX \"\${_target}\" NORMALIZE _inside_prefix)
    if(_inside_prefix)
      file(RELATIVE_PATH _target \"\${_folder}\" \"\${_target}\")
    endif()
    set(_link \"\$ENV{DESTDIR}\${_folder}/libopenal.so\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_folder}\")
    message(STATUS \"Installing: \${_link} -> \${_target}\")
    file(CREATE_LINK \"\${_target}\" \"\${_link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_link}\")
  ")
endif()

# The manual page and the changelog are compressed the way Debian installs them (gzip -9, no name
# or time stamp); without gzip they are installed as they are.
find_program(HANOI_GZIP gzip)
mark_as_advanced(HANOI_GZIP)
# Installs SOURCE into DESTINATION as NAME.gz, compressed in the build folder by TARGET.
function(hanoi_install_compressed target source destination name)
  if(NOT HANOI_GZIP)
    install(FILES "${source}" DESTINATION "${destination}" RENAME "${name}")
    return()
  endif()
  set(compressed "${PROJECT_BINARY_DIR}/compressed/${name}.gz")
  add_custom_command(
    OUTPUT "${compressed}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/compressed"
    COMMAND "${HANOI_GZIP}" -9 -n -c "${source}" > "${compressed}"
    DEPENDS "${source}"
    COMMENT "Compressing ${name}"
    VERBATIM
  )
  add_custom_target(${target} ALL DEPENDS "${compressed}")
  install(FILES "${compressed}" DESTINATION "${destination}")
endfunction()

hanoi_install_compressed(hanoi-chimes-man "${PROJECT_SOURCE_DIR}/man/hanoi-chimes.1" "${CMAKE_INSTALL_MANDIR}/man1"
                         hanoi-chimes.1)

# The changelog, in Debian's format: the package is native (its version has no Debian revision),
# so it is installed as changelog.gz. Its latest entry has to be this version's.
set(_hanoi_changelog "${PROJECT_SOURCE_DIR}/packaging/changelog")
file(STRINGS "${_hanoi_changelog}" _hanoi_changelog_head LIMIT_COUNT 1)
string(REPLACE "." "\\." _hanoi_version_pattern "${PROJECT_VERSION}")
if(NOT _hanoi_changelog_head MATCHES "^hanoi-chimes \\(${_hanoi_version_pattern}\\) ")
  message(FATAL_ERROR "The latest entry of packaging/changelog is not version ${PROJECT_VERSION}: "
                      "${_hanoi_changelog_head}")
endif()
hanoi_install_compressed(hanoi-chimes-changelog "${_hanoi_changelog}" "${CMAKE_INSTALL_DOCDIR}" changelog)

# The license, installed as Debian's machine-readable copyright file and made from LICENSE, so that
# the two never differ: LICENSE's copyright line, and its terms as the Expat license's text (in
# the copyright file every line of a text is indented, and an empty line is written " .").
set(_hanoi_license "${PROJECT_SOURCE_DIR}/LICENSE")
file(READ "${_hanoi_license}" _hanoi_license_text)
string(REGEX MATCH "\nCopyright \\(c\\) ([^\n]+)\n" _hanoi_copyright_line "${_hanoi_license_text}")
set(_hanoi_copyright "${CMAKE_MATCH_1}")
string(FIND "${_hanoi_license_text}" "Permission is hereby granted" _hanoi_terms_start)
if(NOT _hanoi_copyright OR _hanoi_terms_start EQUAL -1)
  message(FATAL_ERROR "LICENSE has no \"Copyright (c)\" line or no MIT terms to install as the copyright file")
endif()
string(SUBSTRING "${_hanoi_license_text}" ${_hanoi_terms_start} -1 _hanoi_terms)
# src/sine.cpp is Arm's, under the same terms word for word, so one Expat text serves both: its
# copyright line comes from NOTICE, which carries that notice in the source tree.
set(_hanoi_notice "${PROJECT_SOURCE_DIR}/NOTICE")
file(READ "${_hanoi_notice}" _hanoi_notice_text)
string(REGEX MATCH "\nCopyright \\(c\\) ([^\n]+)\n" _hanoi_sine_copyright_line "${_hanoi_notice_text}")
set(_hanoi_sine_copyright "${CMAKE_MATCH_1}")
string(FIND "${_hanoi_notice_text}" "Permission is hereby granted" _hanoi_notice_terms_start)
string(SUBSTRING "${_hanoi_notice_text}" ${_hanoi_notice_terms_start} -1 _hanoi_notice_terms)
if(NOT _hanoi_sine_copyright OR NOT _hanoi_notice_terms STREQUAL _hanoi_terms)
  message(FATAL_ERROR "NOTICE has no \"Copyright (c)\" line for src/sine.cpp or not LICENSE's terms")
endif()
string(STRIP "${_hanoi_terms}" _hanoi_terms)
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" _hanoi_terms "${_hanoi_terms}")
string(REPLACE "\n" "\n " _hanoi_terms "${_hanoi_terms}")
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/doc/copyright" CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: @PROJECT_NAME@

Files: *
Copyright: @_hanoi_copyright@
License: Expat

Files: src/sine.cpp
Copyright: @_hanoi_sine_copyright@
License: Expat

License: Expat
 @_hanoi_terms@
]] @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/doc/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
# All three are read here, at configuration: a change to any configures again.
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${_hanoi_license}" "${_hanoi_notice}" "${_hanoi_changelog}")

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "hanoi-chimes")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "hanoi-chimes developers")
set(CPACK_PACKAGE_CONTACT "hanoi-chimes developers <hanoi-chimes@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tower of Hanoi solver that plays every move as a chime")
# The long description, one control-file line per line.
set(CPACK_PACKAGE_DESCRIPTION [[
hanoi-chimes solves the Tower of Hanoi for 1 to 64 discs, prints every
move and plays it as a chime of two sine notes through OpenAL: the
direction of a move picks the two pitches, the size of the moving disc
how long they last. With OpenAL Soft's wave writer a run can be recorded
to a WAV file instead.]])
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# dpkg-shlibdeps adds what the program links (libc6, libstdc++6, libgcc-s1) with their versions;
# OpenAL is opened at run time, never linked, so libopenal1 is named here by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libopenal1")
# The package is labelled with the architecture the program is built for: Debian's name for the
# build's multiarch triplet (dpkg-architecture, from dpkg-dev). CPack would take the building
# machine's, which a cross build's is not.
find_program(HANOI_DPKG_ARCHITECTURE dpkg-architecture)
mark_as_advanced(HANOI_DPKG_ARCHITECTURE)
if(HANOI_DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
  execute_process(COMMAND "${HANOI_DPKG_ARCHITECTURE}" -t "${CMAKE_LIBRARY_ARCHITECTURE}" -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE AND CMAKE_CROSSCOMPILING)
  message(WARNING "dpkg-architecture (dpkg-dev) cannot name the architecture of ${CMAKE_LIBRARY_ARCHITECTURE}: "
                  "the Debian package would be labelled with this machine's")
endif()
include(CPack)
