#!/usr/bin/env bash
# Checks every C++ file of the tree against .clang-format and .clang-tidy, and every shell script
# with shellcheck: scripts/check_style.sh
# clang-tidy reads the compile commands of the plain build (build/test), the fuzz build (build/fuzz)
# and the Windows build (build/windows), which scripts/test.sh makes before it runs this.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

ensure_packages clang-format clang-tidy-16 shellcheck

# The shell scripts: every *.sh file (scripts/lib/common.sh is only sourced) and every file that
# starts with a shell's #! line (.ci/run). -x follows what they source, from the project's root.
mapfile -t scripts < <({
  git ls-files '*.sh'
  git ls-files -z | xargs -0 awk 'FNR == 1 && /^#!.*[\/ ](ba)?sh$/ { print FILENAME } { nextfile }'
} | sort -u)
shellcheck -x "${scripts[@]}"
say "shellcheck: ${#scripts[@]} shell scripts without a finding"

mapfile -t files < <(git ls-files '*.cpp' '*.hpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
say "clang-format: ${#files[@]} files as .clang-format has them"

# One compile database for the three builds (CMake writes each as a JSON array, one entry per line
# group), spelling the standard the way clang 16 knows it. clang does not find mingw-w64's C++
# library by itself: the Windows build's entries name its folders, as its compiler searches them
# (not the compiler's own headers, for which clang has its own).
for build in build/test build/fuzz build/windows; do
  [ -f "$build/compile_commands.json" ] || { say "$build has no compile_commands.json: run scripts/test.sh"; exit 1; }
done
mingw=x86_64-w64-mingw32-g++-posix
mingw_includes=$("$mingw" -E -x c++ - -v </dev/null 2>&1 |
  sed -n '/#include <...> search starts here:/,/End of search list./s|^ \(/.*/include/c++.*\)|-isystem \1|p' |
  tr '\n' ' ')
mkdir -p build/tidy
{
  sed '$d' build/test/compile_commands.json
  echo ','
  sed -e '1d' -e '$d' build/fuzz/compile_commands.json
  echo ','
  sed -e '1d' -e "s|/usr/bin/$mingw |/usr/bin/$mingw $mingw_includes|" build/windows/compile_commands.json
} | sed 's/-std=c++23/-std=c++2b/g' >build/tidy/compile_commands.json
# Headers are checked through the files that include them (HeaderFilterRegex).
run-clang-tidy-16 -p build/tidy -quiet -j "$(nproc)" "${files[@]/#/$PWD/}" >build/tidy/report.txt 2>&1 || {
  grep -E '(warning|error):' build/tidy/report.txt | sort -u >&2
  say "clang-tidy found the problems above (whole report: build/tidy/report.txt)"
  exit 1
}
say "clang-tidy: no findings"
