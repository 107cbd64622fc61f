# shellcheck shell=bash
# Shared by the scripts in scripts/: installing what is missing and building the program.
# Source it from a script that has already changed to the project's root.

# What building and running the program needs: a compiler, CMake, the OpenAL headers and, at run
# time, an OpenAL library that opens as libopenal.so (Debian's development package provides that name).
run_packages=(g++ make cmake libopenal-dev libopenal1)

say() { printf '%s\n' "$*" >&2; }

# Installs the Debian packages of "$@" that are not installed yet, through apt-get, as root or with sudo.
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  say "Installing ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { say "Run as root, or install sudo, to install: ${missing[*]}"; return 1; }
    sudo=(sudo)
  fi
  # A fresh machine has no package lists yet; an old list may name versions that are gone.
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds the program alone (no tests) in build/run, a release build (the preset
# "run"); prints the binary's path.
build_program() {
  ensure_packages "${run_packages[@]}"
  cmake --preset run >/dev/null
  cmake --build --preset run --target hanoi-chimes -j "$(nproc)" >/dev/null
  printf '%s\n' "$PWD/build/run/hanoi-chimes"
}

# Writes an OpenAL Soft configuration that sends all output to the WAV file "$2"; the file "$1".
# OpenAL Soft mixes in periods and a note is heard for whole periods: 256-frame periods keep every
# note within 1.3% of its length, where the default 1024 frames cut most of them by 7 ms
# (docs/recording.md; what smaller periods cost: docs/performance.md).
write_wave_config() {
  printf 'drivers=wave\nperiod_size=256\n[wave]\nfile=%s\n' "$2" >"$1"
}

# True when this machine can play sound: a sound card, or a running sound server to play through.
has_audio_output() {
  compgen -G '/dev/snd/pcmC*D*p' >/dev/null && return 0
  local runtime="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
  [ -S "$runtime/pulse/native" ] || [ -S "$runtime/pipewire-0" ] || [ -n "${PULSE_SERVER:-}" ]
}
