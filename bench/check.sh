#!/usr/bin/env bash
# bench/check.sh - The benchmark's programs, small, assembled once.
#
#   check.sh FERROX GENERATOR FOLDER
#
# The benchmark only means something while ferrox assembles its inputs
# without an error and to the right bytes. This check writes every kind of
# benchmark program at a small size and requires: a clean build of each;
# the data programs' images equal to NASM's (when NASM is installed); the
# binary inclusion equal to the included file; and the images of the other
# programs unchanged, by their SHA-256 (a change there is a change in what
# ferrox writes, so either a fault or a change to record here on purpose).
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: check.sh FERROX GENERATOR FOLDER" >&2
  exit 2
fi
# Absolute paths: the programs are written and assembled in FOLDER.
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
ferrox=$(absolute "$1")
gen=$(absolute "$2")
folder=$3
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# assemble NAME [SWITCHES...]: NAME.tvs into NAME.img, which must succeed
# without an error.
assemble() {
  local name=$1
  shift
  local status=0
  "$ferrox" "$name.tvs" "$name.img" "$@" >"$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || ! grep -q '^Errors *: 0 (SUCCESS!)$' "$name.log"; then
    fail "$name: ferrox exited with $status"
    head -n 10 "$name.log" | sed 's/^/  | /'
    return 1
  fi
}

same_as_nasm() {
  local name=$1
  if ! command -v nasm >/dev/null 2>&1; then
    echo "skipped: $name against NASM (nasm is not installed)"
    return 0
  fi
  if ! nasm -f bin -o "$name.bin" "$name.asm" >"$name.nasm.log" 2>&1; then
    fail "$name: NASM rejected the generated program"
    head -n 5 "$name.nasm.log" | sed 's/^/  | /'
  elif ! cmp -s "$name.img" "$name.bin"; then
    fail "$name: ferrox's image differs from NASM's"
  fi
}

expect_sha256() {
  local name=$1 expected=$2
  local actual
  actual=$(sha256sum "$name.img" | cut -d' ' -f1)
  if [ "$actual" != "$expected" ]; then
    fail "$name: image SHA-256 $actual, expected $expected"
  fi
}

"$gen" data 2001 data
"$gen" oneline 5000 oneline
"$gen" full 3000 full
"$gen" namespaces 2000 namespaces 20
"$gen" forward 1000 forward
"$gen" includebin 70000 blob

if assemble data -nodisk -nobootinfo; then
  same_as_nasm data
fi
if assemble oneline -nodisk -nobootinfo; then
  same_as_nasm oneline
fi
if assemble blob -nodisk -nobootinfo && ! cmp -s blob.img blob.bin; then
  fail "blob: the image differs from the included file"
fi
if assemble full; then
  expect_sha256 full 1259d272e546f5e44610f1231ec70db2ffc19a799ba6d8fb86fcc4c8864f2d74
fi
if assemble namespaces -nodisk -nobootinfo; then
  expect_sha256 namespaces 277d443bfb04659791c15063678d25610e49c25c9b44b4fd7d90fd9991586957
fi
if assemble forward -nodisk -nobootinfo; then
  expect_sha256 forward 7dabe1abd69a016fc29b2a6d729e42f90bedb68250d9a6c378712d7c0512ffe2
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the benchmark programs failed"
  exit 1
fi
echo "the benchmark programs assemble as expected"
