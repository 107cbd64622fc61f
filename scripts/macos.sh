#!/usr/bin/env bash
# Cross-compiles hanoi-chimes for macOS 11 and later, one universal program for Apple silicon and
# Intel Macs, and packs it with its manual page, README, LICENSE and NOTICE (the preset macos):
# scripts/macos.sh [--check]
# Installs what is missing first: zig (scripts/lib/zig.sh) and llvm-14, whose llvm-lipo joins the
# two programs and whose llvm-objdump reads them. Prints the package's path as its last line.
# --check also checks the packed program: an x86-64 and an arm64 program in one, each loading only
# the system's libraries, the arm64 one signed (Apple silicon runs only signed code), and a
# minimum macOS of 12 or older.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh
source scripts/lib/zig.sh

# The libraries a macOS program may load: every Mac has them at these paths (libc++ only if zig
# linked it dynamically; it links its own in).
allowed_libraries=(/usr/lib/libSystem.B.dylib /usr/lib/libc++.1.dylib)
newest_minimum_macos=12

# Fails, naming what is wrong, unless the program in the package "$1" is what --check says.
check_package() {
  local work status=0
  work=$(mktemp -d)
  tar -xzf "$1" -C "$work"
  check_program "$work"/*/hanoi-chimes || status=$?
  rm -rf "$work"
  return "$status"
}

check_program() {
  local program=$1 archs arch headers library minimum
  archs=$(llvm-lipo-14 -archs "$program" | tr ' ' '\n' | sort | xargs)
  [ "$archs" = "arm64 x86_64" ] || { say "$program holds $archs, not arm64 and x86_64"; return 1; }
  for arch in arm64 x86_64; do
    headers=$(llvm-objdump-14 --macho --all-headers --arch="$arch" "$program")
    # Every library a load command names: the name is two lines after the command.
    while read -r library; do
      [[ " ${allowed_libraries[*]} " == *" $library "* ]] || { say "The $arch program loads $library"; return 1; }
    done < <(awk '/^ *cmd LC_(LOAD|LOAD_WEAK|REEXPORT|LAZY_LOAD|LOAD_UPWARD)_DYLIB$/ { dylib = 1 }
                  dylib && /^ *name / { print $2; dylib = 0 }' <<<"$headers")
    minimum=$(awk '/^ *minos / { print $2 }' <<<"$headers")
    if [ -z "$minimum" ] || [ "${minimum%%.*}" -gt "$newest_minimum_macos" ]; then
      say "The $arch program needs macOS ${minimum:-(none given)}, not $newest_minimum_macos or older"
      return 1
    fi
  done
  grep -q '^ *cmd LC_CODE_SIGNATURE$' < <(llvm-objdump-14 --macho --all-headers --arch=arm64 "$program") ||
    { say "The arm64 program carries no code signature"; return 1; }
  say "$program: arm64 and x86_64, loading only ${allowed_libraries[0]}, the arm64 one signed, macOS $minimum or later"
}

ensure_packages cmake make libopenal-dev llvm-14
ensure_zig
cmake --preset macos >/dev/null
cmake --build --preset macos -j "$(nproc)" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/macos/CMakeCache.txt)
package="$PWD/build/macos/hanoi-chimes-$version-macos.tar.gz"
[ "${1:-}" != --check ] || check_package "$package"
printf '%s\n' "$package"
