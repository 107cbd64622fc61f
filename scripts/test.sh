#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: scripts/test.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

# Tests also need GoogleTest, OpenAL Soft's openal-info (the device list to compare with), ALSA's
# library (OpenAL Soft's ALSA backend, pointed at a device that does not exist) and valgrind (runs
# of the program are checked for memory errors and leaks).
ensure_packages "${run_packages[@]}" libgtest-dev openal-info libasound2 valgrind

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHANOI_WERROR=ON
cmake --build build/test -j "$(nproc)"
ctest --test-dir build/test --output-on-failure -j "$(nproc)"
