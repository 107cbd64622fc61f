#!/usr/bin/env bash
# Checks every C++ file of the tree against .clang-format and .clang-tidy, and every shell script
# with shellcheck: scripts/check_style.sh
# clang-tidy reads the compile commands of the plain build (build/test), the fuzz build (build/fuzz)
# and, on an x86-64 machine, the Windows build (build/windows), which scripts/test.sh makes before
# it runs this.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

# clang-tidy 22 checks the tree in a third of the time clang-tidy 16 took: it no longer walks the
# system's headers. Debian 12 has it among its security updates (bookworm-security), which an
# installed system's package sources name and a minimal root made by debootstrap does not. The
# machine's package sources are its owner's to change, not this script's.
ensure_packages clang-format clang-tidy-22 shellcheck || {
  apt-cache show clang-tidy-22 >/dev/null 2>&1 ||
    say "clang-tidy 22 is not in this machine's package sources: enable Debian 12's security updates (bookworm-security) in them, then run this again"
  exit 1
}

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

# One compile database for the three builds, with one entry a file: clang-tidy checks a file once
# for every entry it has, and the builds share most of them. A file is checked as the first build
# that has it compiles it: the plain build, then the fuzz build, then the Windows build. clang does
# not find mingw-w64's C++ library by itself: the Windows build's entries name its folders, as its
# compiler searches them (not the compiler's own headers, for which clang has its own). The Windows
# build is made only on x86-64 machines (scripts/test.sh): elsewhere the Windows files go unchecked.
builds=(build/test build/fuzz)
mingw=x86_64-w64-mingw32-g++-posix
mingw_includes=""
if [ "$(dpkg --print-architecture)" = amd64 ]; then
  builds+=(build/windows)
  mingw_includes=$("$mingw" -E -x c++ - -v </dev/null 2>&1 |
    sed -n '/#include <...> search starts here:/,/End of search list./s|^ \(/.*/include/c++.*\)|-isystem \1|p' |
    tr '\n' ' ')
else
  say "clang-tidy: the Windows files are not checked: the Windows build is made only on x86-64 machines"
fi
for build in "${builds[@]}"; do
  [ -f "$build/compile_commands.json" ] || { say "$build has no compile_commands.json: run scripts/test.sh"; exit 1; }
done
mkdir -p build/tidy
python3 - "$mingw" "$mingw_includes" "${builds[@]}" >build/tidy/compile_commands.json <<'MERGE'
import json, sys
mingw, mingw_includes, builds = sys.argv[1], sys.argv[2], sys.argv[3:]
merged, seen = [], set()
for build in builds:
    for entry in json.load(open(build + "/compile_commands.json")):
        if entry["file"] in seen:
            continue
        seen.add(entry["file"])
        entry["command"] = entry["command"].replace(f"/{mingw} ", f"/{mingw} {mingw_includes}", 1)
        merged.append(entry)
json.dump(merged, sys.stdout, indent=0)
MERGE
# The files are named as patterns of the compile database's entries: headers, which have none, are
# checked through the files that include them (HeaderFilterRegex).
run-clang-tidy-22 -p build/tidy -quiet -j "$(nproc)" "${files[@]/#/$PWD/}" >build/tidy/report.txt 2>&1 || {
  grep -E '(warning|error):' build/tidy/report.txt | sort -u >&2
  say "clang-tidy found the problems above (whole report: build/tidy/report.txt)"
  exit 1
}
say "clang-tidy: no findings"
