#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a scratch
# root (dpkg-deb -x: nothing is installed on the system) and checks that the
# unpacked program, started through its bin/ link from PATH, finds its
# installation files and assembles the shipped example exactly like the
# program in the build folder.
#
#   packaging/test-deb.sh BUILD_DIR SOURCE_DIR
#
# Exits 77 (reported as skipped) where dpkg-deb is missing.
set -euo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)

if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIPPED: dpkg-deb is not installed"
  exit 77
fi

scratch=$(mktemp -d "$build/deb-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

if ! (cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1); then
  cat "$scratch/cpack.log" >&2
  fail "cpack could not build the package"
fi
packages=("$scratch"/package/ferrox_*.deb)
[ -f "${packages[0]}" ] || fail "no ferrox_*.deb was made"
deb=${packages[0]}
echo "built $(basename "$deb")"

[ "$(dpkg-deb --field "$deb" Package)" = ferrox ] || fail "wrong package name"
dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles >"$scratch/conffiles"
for file in std.tvh Instructions.okl Directories.okl; do
  grep -qx "/usr/lib/ferrox/$file" "$scratch/conffiles" ||
    fail "$file is not a conffile"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
[ -L "$root/usr/bin/ferrox" ] || fail "usr/bin/ferrox is not a symbolic link"
[ "$(readlink "$root/usr/bin/ferrox")" = ../lib/ferrox/ferrox ] ||
  fail "usr/bin/ferrox does not point at ../lib/ferrox/ferrox"
for file in ferrox std.tvh Instructions.okl Directories.okl; do
  [ -f "$root/usr/lib/ferrox/$file" ] || fail "usr/lib/ferrox/$file is missing"
done
[ -x "$root/usr/lib/ferrox/ferrox" ] || fail "the program is not executable"
for file in man/man1/ferrox.1 doc/ferrox/README.md doc/ferrox/language.md \
            doc/ferrox/errors.md doc/ferrox/examples/hello.tvs; do
  [ -s "$root/usr/share/$file" ] || fail "usr/share/$file is missing or empty"
done

# Assemble from another folder, with the program found through PATH only.
mkdir "$scratch/work"
cd "$scratch/work"
if ! PATH="$root/usr/bin:$PATH" ferrox "$source/examples/hello.tvs" packaged.img \
    >"$scratch/run.log"; then
  cat "$scratch/run.log" >&2
  fail "the unpacked ferrox could not assemble examples/hello.tvs"
fi
"$build/ferrox" "$source/examples/hello.tvs" built.img >/dev/null ||
  fail "the built ferrox could not assemble examples/hello.tvs"
cmp packaged.img built.img || fail "the unpacked and the built ferrox disagree"
tail -n 1 "$scratch/run.log"
echo "PASSED: the package unpacks and its ferrox assembles examples/hello.tvs"
