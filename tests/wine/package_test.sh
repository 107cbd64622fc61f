#!/usr/bin/env bash
# The Windows package, as cpack makes it in the Windows build folder $1: one folder holding the
# program, the README, the license, the notice of the sine's code and the manual as text; a program
# hardened as mingw-w64 can (ASLR at high entropy, DEP) that needs no DLL but Windows' own, OpenAL
# least of all: it is opened at run time.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
  printf 'package_test: %s\n' "$*" >&2
  exit 1
}

(cd "$build" && cpack -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
zip=$(find "$out" -maxdepth 1 -name 'hanoi-chimes-*-windows-x86_64.zip')
[ -n "$zip" ] || fail "no zip file in $(ls "$out")"
folder=$(basename "$zip" .zip)
listing=$(cd "$out" && cmake -E tar tf "$zip" | sort)
expected=$(printf '%s\n' "$folder"/{LICENSE,NOTICE,README.md,hanoi-chimes.exe,hanoi-chimes.txt} | sort)
[ "$listing" = "$expected" ] || fail "the zip holds"$'\n'"$listing"$'\n'"instead of"$'\n'"$expected"

(cd "$out" && cmake -E tar xf "$zip")
grep -q '^NAME' "$out/$folder/hanoi-chimes.txt" || fail "the manual is not text"
headers=$(x86_64-w64-mingw32-objdump -p "$out/$folder/hanoi-chimes.exe")
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
  grep -q "^[[:space:]]*$flag\$" <<<"$headers" || fail "the program is not marked $flag"
done
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | LC_ALL=C sort | tr '\n' ' ')
[ "$dlls" = "ADVAPI32.dll KERNEL32.dll SHELL32.dll WINMM.dll msvcrt.dll " ] || fail "the program needs $dlls"
echo "package_test: $folder.zip as it should be"
