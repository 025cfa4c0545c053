#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks it with lintian
# (no error and no warning), unpacks it into a scratch root (dpkg-deb -x:
# nothing is installed on the system) and checks that the unpacked
# programs, started through their bin/ links from PATH, find their
# installation files through the links in usr/lib/ferrox to the
# configuration files in etc/ferrox, and that the unpacked ferrox
# assembles the shipped example exactly like the one in the build folder.
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
if command -v lintian >/dev/null 2>&1; then
  # Errors and warnings fail; informational tags are only shown.
  lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' ||
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian finds fault with the package"
  echo "lintian: no errors, no warnings"
else
  echo "lintian is not installed: the package is not checked with it"
fi
dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles >"$scratch/conffiles"
for file in std.tvh Instructions.okl Directories.okl; do
  grep -qx "/etc/ferrox/$file" "$scratch/conffiles" ||
    fail "$file is not a conffile"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
programs=()
for program in ferrox ferrox-list ferrox-dis ferrox-isa ferrox-lsp; do
  [ -x "$build/$program" ] && programs+=("$program")
done
for program in "${programs[@]}"; do
  [ -L "$root/usr/bin/$program" ] || fail "usr/bin/$program is not a symbolic link"
  [ "$(readlink "$root/usr/bin/$program")" = "../lib/ferrox/$program" ] ||
    fail "usr/bin/$program does not point at ../lib/ferrox/$program"
  [ -f "$root/usr/lib/ferrox/$program" ] && [ -x "$root/usr/lib/ferrox/$program" ] ||
    fail "usr/lib/ferrox/$program is missing or not executable"
  [ -s "$root/usr/share/man/man1/$program.1.gz" ] ||
    fail "usr/share/man/man1/$program.1.gz is missing"
done
for file in std.tvh Instructions.okl Directories.okl; do
  [ -f "$root/etc/ferrox/$file" ] || fail "etc/ferrox/$file is missing"
  [ "$(readlink "$root/usr/lib/ferrox/$file")" = "/etc/ferrox/$file" ] ||
    fail "usr/lib/ferrox/$file is not a link to /etc/ferrox/$file"
  # Unpacked, the links would reach the machine's /etc: point them into
  # the scratch root instead, as they reach /etc once installed.
  ln -sfn "$root/etc/ferrox/$file" "$root/usr/lib/ferrox/$file"
done
for file in doc/ferrox/README.md doc/ferrox/language.md doc/ferrox/errors.md \
            doc/ferrox/copyright doc/ferrox/changelog.gz doc/ferrox/examples/hello.tvs; do
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

# An edit of a configuration file takes effect, with no edit under usr/.
echo 'data1u 66' >>"$root/etc/ferrox/std.tvh"
echo 'data1u 67' >tiny.tvs
PATH="$root/usr/bin:$PATH" ferrox tiny.tvs tiny.img -nodisk -nobootinfo >/dev/null ||
  fail "the unpacked ferrox could not assemble after std.tvh was edited"
[ "$(cat tiny.img)" = BC ] || fail "the edit of etc/ferrox/std.tvh did not take effect"
if [ -x "$root/usr/bin/ferrox-list" ]; then
  PATH="$root/usr/bin:$PATH" ferrox-list tiny.tvs --symbols - >/dev/null ||
    fail "the unpacked ferrox-list could not build"
fi
echo "PASSED: the package unpacks and its ferrox assembles examples/hello.tvs"
