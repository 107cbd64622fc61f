#!/usr/bin/env bash
# Tests of what an installation puts on a machine, run by CTest (see CMakeLists.txt here):
#
#   install_test.sh prefix  CMAKE BUILD_DIR BUILT_PROGRAM DEV_LINK HARDENING BINDIR LIBDIR MANDIR DOCDIR SOURCE_DIR
#   install_test.sh package CPACK BUILD_DIR BUILT_PROGRAM DEV_LINK HARDENING BINDIR LIBDIR MANDIR DOCDIR SOURCE_DIR
#   install_test.sh built-program BUILT_PROGRAM HARDENING SOURCE_DIR COMPILE_COMMANDS
#   install_test.sh man-page MAN_SOURCE
#
# "prefix" runs `cmake --install` into a temporary prefix, "package" builds the Debian package with
# `cpack -G DEB`, checks its control fields and contents, has lintian check it, and unpacks it. Both
# then run the installed program with DEV_LINK (libopenal-dev's libopenal.so, if there is one)
# hidden in a private mount namespace, as on a machine with only libopenal1: it has to reach
# OpenAL through its private folder. BINDIR, LIBDIR, MANDIR and DOCDIR are the installation folders
# relative to the prefix. "built-program" checks the program in the build folder: its run path,
# and how it was compiled and linked.
#
# HARDENING is what the build promises: "full" (Debian's hardening flags), "unfortified" (the same
# in an unoptimised build, where the C library fortifies nothing) or "none".
set -euo pipefail

fail() {
  printf 'FAIL: %s\n' "$1" >&2
  shift
  local file
  for file in "$@"; do
    [ -s "$file" ] && { printf -- '--- %s:\n' "${file##*/}" >&2; cat "$file" >&2; }
  done
  exit 1
}

# Runs a program the way the tests of the built program do, on OpenAL Soft's null back end and
# without LD_LIBRARY_PATH or an OpenAL Soft configuration file; sets status, $work/out, $work/err.
run_program() {
  status=0
  env -u LD_LIBRARY_PATH -u ALSOFT_CONF ALSOFT_DRIVERS=null "$@" >"$work/out" 2>"$work/err" || status=$?
}

# A fatal stop that failed to open OpenAL: status 101, nothing on standard output, one report line.
expect_no_openal() {
  local what=$1
  [ "$status" -eq 101 ] || fail "$what: status $status, expected 101 (no OpenAL library)" "$work/out" "$work/err"
  [ ! -s "$work/out" ] || fail "$what: wrote to standard output" "$work/out"
  if [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -q "^thread 'main' stopped: .*, at src/" "$work/err"; then
    fail "$what: standard error is not one fatal report" "$work/err"
  fi
}

# Inside the private mount namespace: hides DEV_LINK, then runs the installed PROGRAM, whose
# private folder is PRIVATE.
in_namespace() {
  local built=$1 dev_link=$2 program=$3 private=$4
  if [ -n "$dev_link" ]; then
    # A mount on the link itself would land on the library it points to and hide libopenal.so.1
    # too. Instead its whole folder is replaced by a view of links to every other entry, reached
    # through a second mount of the real folder.
    local folder real=$work/real-folder view=$work/folder-view
    folder=$(readlink -f "$(dirname "$dev_link")")
    mkdir "$real" "$view"
    mount --bind "$folder" "$real" || fail "cannot bind-mount $folder in the private mount namespace"
    ln -s "$real"/* "$view"/
    rm "$view/${dev_link##*/}"
    mount --bind "$view" "$folder" || fail "cannot bind-mount over $folder in the private mount namespace"
  fi

  # Nor is one taken from the folder the run starts in, where whoever can write to it could plant
  # one: there under the macOS framework's name, it is not even looked at.
  mkdir -p "$work/planted/OpenAL.framework"
  cp -L "$private/libopenal.so" "$work/planted/OpenAL.framework/OpenAL"
  cd "$work/planted"
  run_program "$built" 1
  cd - >/dev/null
  [ "$status" -eq 101 ] ||
    fail "the built program still opened an OpenAL with ${dev_link:-nothing} hidden (status $status): another copy is on the loader's path, or it took the one in the folder it started in" "$work/out" "$work/err"
  grep -qF "Io(Os { code: 2, kind: NotFound" "$work/err" || fail "the built program did not report OpenAL as not found" "$work/err"

  run_program "$program" 2
  printf '%s\n' "Found device: No Output" "Moving disc size 1/1 from 1 to 2" "Moving disc size 2/2 from 1 to 3" \
    "Moving disc size 1/1 from 2 to 3" >"$work/expected"
  [ "$status" -eq 0 ] || fail "the installed program did not find OpenAL through $private (status $status)" "$work/out" "$work/err"
  cmp -s "$work/expected" "$work/out" || fail "the installed program's output differs" "$work/expected" "$work/out"
  [ ! -s "$work/err" ] || fail "the installed program wrote to standard error" "$work/err"

  # LD_LIBRARY_PATH comes before the private folder (a RUNPATH, not an RPATH): a libopenal.so there
  # that does not load ends the loader's search, though the private folder holds a good one.
  mkdir "$work/unloadable"
  : >"$work/unloadable/libopenal.so"
  status=0
  env -u ALSOFT_CONF ALSOFT_DRIVERS=null LD_LIBRARY_PATH="$work/unloadable" "$program" 1 >"$work/out" 2>"$work/err" ||
    status=$?
  expect_no_openal "the installed program with an unloadable libopenal.so on LD_LIBRARY_PATH"

  rm "$private/libopenal.so"
  run_program "$program" 2
  expect_no_openal "the installed program without the link in $private"
}

# What hardening-check (devscripts) can tell of a PROGRAM of this project: position independence,
# the stack protector (some function has a protected frame), read-only relocations and immediate
# binding. It cannot tell the rest here: no function's frame is large enough for stack clash probes;
# the C library's start files on Debian 12 carry no control-flow marking, so no program linked with
# them does; and the only guarded C library functions the program calls are memcpy, memmove and
# memset from the C++ library's inline string code, which fortification does not reach. Those are
# checked in the build folder instead, from how each source was compiled (check_built_program).
check_hardening() {
  local program=$1 hardening=$2 feature
  [ "$hardening" != none ] || return 0
  command -v hardening-check >/dev/null || fail "hardening-check is not installed (Debian package devscripts)"
  hardening-check "$program" >"$work/hardening" 2>&1 || true
  # Shown in CTest's log (ctest -V).
  cat "$work/hardening"
  for feature in "Position Independent Executable" "Stack protected" "Read-only relocations" "Immediate binding"; do
    grep -qxF " $feature: yes" "$work/hardening" || fail "$program is not hardened: $feature" "$work/hardening"
  done
}

# Checks the installed tree under ROOT (the prefix) and runs it in a private mount namespace. LINK is
# the form the private link must have: "absolute" or "relative".
check_installation() {
  local root=$1 built=$2 dev_link=$3 hardening=$4 link=$5 bindir=$6 libdir=$7 mandir=$8 docdir=$9 source_dir=${10}
  local program=$root/$bindir/hanoi-chimes private=$root/$libdir/hanoi-chimes
  [ -x "$program" ] || fail "no program at $program"
  check_hardening "$program" "$hardening"

  # The run path names the private folder relative to the program, as a RUNPATH.
  local runpath expected_runpath
  expected_runpath="\$ORIGIN/$(realpath -m --relative-to="$root/$bindir" "$private")"
  readelf -d "$program" >"$work/dynamic"
  ! grep -q '(RPATH)' "$work/dynamic" || fail "the installed program has an RPATH, which LD_LIBRARY_PATH cannot override" "$work/dynamic"
  runpath=$(sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p' "$work/dynamic")
  [ "$runpath" = "$expected_runpath" ] || fail "the installed program's RUNPATH is \"$runpath\", expected \"$expected_runpath\""

  # The link has the expected form and leads to the OpenAL runtime library (soname libopenal.so.1).
  local target
  [ -L "$private/libopenal.so" ] || fail "no symbolic link $private/libopenal.so"
  target=$(readlink "$private/libopenal.so")
  if [ "$link" = absolute ]; then
    [[ "$target" == /* ]] || fail "the link's target \"$target\" is not absolute"
  else
    [[ "$target" != /* ]] || fail "the link's target \"$target\" is not relative"
  fi
  readelf -d "$(readlink -f "$private/libopenal.so")" 2>/dev/null | grep -qF 'Library soname: [libopenal.so.1]' ||
    fail "the link's target $target is not the OpenAL runtime library"

  local page=$root/$mandir/man1/hanoi-chimes.1.gz
  [ -f "$page" ] || fail "no manual page at $page"
  gzip -dc "$page" | cmp -s - "$source_dir/man/hanoi-chimes.1" || fail "the installed manual page is not man/hanoi-chimes.1"
  local changelog=$root/$docdir/changelog.gz
  [ -f "$changelog" ] || fail "no changelog at $changelog"
  gzip -dc "$changelog" | cmp -s - "$source_dir/packaging/changelog" ||
    fail "the installed changelog is not packaging/changelog"

  # The copyright file carries LICENSE's copyright line, NOTICE's for src/sine.cpp, and LICENSE's
  # whole terms as the Expat license's text: unindented, with " ." lines back to empty ones, the
  # terms of LICENSE word for word.
  local copyright=$root/$docdir/copyright
  [ -f "$copyright" ] || fail "no copyright file at $copyright"
  grep -qxF "Copyright: $(sed -n 's/^Copyright (c) //p' "$source_dir/LICENSE")" "$copyright" ||
    fail "the copyright file does not have LICENSE's copyright line" "$copyright"
  grep -qxF "Copyright: $(sed -n 's/^Copyright (c) //p' "$source_dir/NOTICE")" "$copyright" ||
    fail "the copyright file does not have NOTICE's copyright line for src/sine.cpp" "$copyright"
  awk '/^License: Expat$/ && previous == "" { text = 1; previous = $0; next }
       text && /^ / { line = substr($0, 2); print (line == "." ? "" : line); next }
       text { exit }
       { previous = $0 }' "$copyright" >"$work/terms"
  sed -n '/^Permission is hereby granted/,$p' "$source_dir/LICENSE" | cmp -s - "$work/terms" ||
    fail "the copyright file's Expat text is not LICENSE's terms" "$copyright"

  command -v unshare >/dev/null ||
    fail "unshare (util-linux) is not installed: libopenal.so cannot be hidden in a private mount namespace"
  # As root a new mount namespace is enough; otherwise a user namespace maps the caller to root.
  local unshare=(unshare --mount)
  [ "$(id -u)" -eq 0 ] || unshare+=(--map-root-user)
  "${unshare[@]}" -- true 2>"$work/unshare.log" ||
    fail "unshare cannot make a private mount namespace here (as root it needs CAP_SYS_ADMIN, as another user unprivileged user namespaces): libopenal.so cannot be hidden" "$work/unshare.log"
  status=0
  "${unshare[@]}" -- bash "${BASH_SOURCE[0]}" in-namespace "$work" "$built" "$dev_link" "$program" "$private" ||
    status=$?
  [ "$status" -eq 0 ] || exit "$status"
}

# The build folder's program: its run path names no folder that anyone but the build's owner could
# make or fill (an empty entry would be the current folder, a missing folder anyone's who may write
# to its parent), and every source of it was compiled with the hardening flags.
check_built_program() {
  local built=$1 hardening=$2 source_dir=$3 compile_commands=$4 runpath entry
  readelf -d "$built" >"$work/dynamic"
  ! grep -q '(RPATH)' "$work/dynamic" || fail "the built program has an RPATH" "$work/dynamic"
  runpath=$(sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p' "$work/dynamic")
  [ -n "$runpath" ] || fail "the built program has no RUNPATH to make room for the installed one" "$work/dynamic"
  while IFS= read -r -d : entry; do
    [ -n "$entry" ] || fail "the built program's RUNPATH \"$runpath\" has an empty entry: the current folder"
    [ -d "$entry" ] || fail "the built program's RUNPATH names $entry, which does not exist"
    [ "$(stat -c %u "$entry")" = "$(stat -c %u "$built")" ] ||
      fail "the built program's RUNPATH folder $entry is not owned by the program's owner"
    [[ "$(stat -c %A "$entry")" != ????????w? ]] || fail "anyone may write to the built program's RUNPATH folder $entry"
    [ -z "$(ls -A "$entry")" ] || fail "the built program's RUNPATH folder $entry is not empty"
  done <<<"$runpath:"

  check_hardening "$built" "$hardening"
  [ "$hardening" != none ] || return 0
  # The compiler records its code generation options in each unit's debug information (not the
  # preprocessor's: _FORTIFY_SOURCE is read from the build's compile commands).
  readelf --debug-dump=info --dwarf-depth=1 "$built" 2>/dev/null |
    sed -n 's/.*DW_AT_producer *:.*: //p; s/.*DW_AT_name *:.*: \(src\/.*\)$/\1/p' >"$work/units"
  if ! grep -q '^src/' "$work/units"; then
    echo "The built program has no debug information: its compile flags are not checked"
    exit 77
  fi
  local wanted=(-fstack-protector-strong -fstack-clash-protection)
  # Control-flow protection is x86's: expected where the program is built for x86.
  case "$(readelf -h "$built" | sed -n 's/^ *Machine: *//p')" in
    "Advanced Micro Devices X86-64" | "Intel 80386") wanted+=(-fcf-protection=full) ;;
  esac
  local producer="" unit flag fortify
  while IFS= read -r unit; do
    if [[ "$unit" != src/* ]]; then
      producer=$unit
      continue
    fi
    for flag in "${wanted[@]}"; do
      [[ " $producer " == *" $flag "* ]] || fail "$unit was compiled without $flag: $producer"
    done
    [ "$hardening" = full ] || continue
    [[ " $producer " =~ \ -O[1-3s]\  ]] || fail "$unit was compiled without optimisation, so not fortified: $producer"
    fortify=$(grep -F -- "-c $source_dir/$unit\"" "$compile_commands" | grep -oE -- '-[DU]_FORTIFY_SOURCE(=[0-9]+)?' |
      tail -n 1) || true
    [[ "$fortify" == -D_FORTIFY_SOURCE=[23] ]] || fail "$unit was compiled without -D_FORTIFY_SOURCE=2 (${fortify:-no such flag})"
  done <"$work/units"
}

mode=${1:-}
case "$mode" in
  in-namespace)
    work=$2
    shift 2
    in_namespace "$@"
    exit 0
    ;;
  man-page)
    command -v groff >/dev/null || fail "groff is not installed (Debian package groff-base)"
    warnings=$(groff -man -Tutf8 -ww -z "$2" 2>&1) || fail "groff failed on $2:"$'\n'"$warnings"
    [ -z "$warnings" ] || fail "groff warns about $2:"$'\n'"$warnings"
    exit 0
    ;;
  built-program)
    [ $# -eq 5 ] || fail "install_test.sh built-program takes 4 arguments, got $(($# - 1))"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    check_built_program "$2" "$3" "$4" "$5"
    exit 0
    ;;
  prefix | package) ;;
  *) fail "usage: install_test.sh prefix|package|built-program|man-page ..." ;;
esac

[ $# -eq 11 ] || fail "install_test.sh $mode takes 10 arguments, got $(($# - 1))"
tool=$2 build_dir=$3 built=$4 dev_link=$5 hardening=$6 layout=("${@:7}")
libdir=${layout[1]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$mode" = prefix ]; then
  "$tool" --install "$build_dir" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed" "$work/install.log"
  # The OpenAL runtime library is outside this prefix: the link to it is absolute.
  check_installation "$work/prefix" "$built" "$dev_link" "$hardening" absolute "${layout[@]}"
  exit 0
fi

"$tool" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  fail "cpack -G DEB failed" "$work/cpack.log"
debs=("$work"/package/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack made no single .deb file" "$work/cpack.log"
fi
deb=${debs[0]}

# lintian's verdict, errors and warnings failing; the informational tags are shown in CTest's log.
command -v lintian >/dev/null || fail "lintian is not installed (Debian package lintian)"
status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>"$work/lintian.err" || status=$?
if [ -s "$work/lintian.log" ]; then cat "$work/lintian.log"; else echo "lintian $(lintian --version): no tags"; fi
[ "$status" -eq 0 ] || fail "lintian rejects the package (status $status)" "$work/lintian.log" "$work/lintian.err"

[ "$(dpkg-deb -f "$deb" Package)" = hanoi-chimes ] || fail "the package is not named hanoi-chimes"
[ "$(dpkg-deb -f "$deb" Section)" = sound ] || fail "the package's section is not sound"
# OpenAL is opened at run time, so no tool finds the dependency: it is declared by hand. The
# libraries the program links come from dpkg-shlibdeps, which is missing without dpkg-dev.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libopenal1 libc6 libstdc++6 libgcc-s1; do
  tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//' | grep -qxF "$package" ||
    fail "the package does not depend on $package: Depends: $depends (dpkg-shlibdeps, from dpkg-dev, adds the linked libraries)"
done

dpkg-deb -c "$deb" >"$work/contents"
for file in "${layout[0]}/hanoi-chimes" "${layout[2]}/man1/hanoi-chimes.1.gz" "${layout[3]}/copyright" \
  "${layout[3]}/changelog.gz" "$libdir/hanoi-chimes/libopenal.so -> "; do
  grep -qF " ./usr/$file" "$work/contents" || fail "the package does not hold /usr/${file% -> }" "$work/contents"
done
# The link must lead to the file that libopenal1 installs, once the package is installed. It is
# relative, as Debian wants of a link within /usr.
private=/usr/$libdir/hanoi-chimes
target=$(sed -n "s|.* \.$private/libopenal\.so -> ||p" "$work/contents")
target=$(realpath -m -s "$private/$target")
dpkg -S "$target" 2>/dev/null | grep -q '^libopenal1[:,]' ||
  fail "the link points to $target, which is no file of the package libopenal1"

dpkg-deb -x "$deb" "$work/root"
# The unpacked tree stands in for the installed system: libopenal1's library is linked into it
# where the package's relative link expects it.
mkdir -p "$work/root${target%/*}"
ln -s "$target" "$work/root$target"
check_installation "$work/root/usr" "$built" "$dev_link" "$hardening" relative "${layout[@]}"
