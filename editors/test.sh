#!/usr/bin/env bash
# Runs one test of the editor support:
#
#   editors/test.sh grammar STAGE STATUS       the TextMate grammar on vscode/test/*.tvs
#   editors/test.sh vsix VSIX STATUS VERSION   what the packaged extension holds
#   editors/test.sh node SCRIPT                a node test, SCRIPT relative to editors/
#   editors/test.sh vim SCRIPT                 a Vim script test in headless Neovim
#   editors/test.sh nvim-client                nvim/ferrox.lua with a stand-in server
#   editors/test.sh nvim-lsp SERVER            nvim/ferrox.lua with ferrox-lsp itself
#
# STAGE is the build folder where the extension's packages are installed and
# STATUS the note the packaging step leaves. Exits 77 (reported as skipped)
# where a tool is missing or the packaging step could not install the
# packages (npm missing or offline).
set -euo pipefail

editors=$(cd "$(dirname "$0")" && pwd)
examples=$(cd "$editors/../examples" && pwd)

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
  done
}
# Skips when the packaging step noted that it could not run.
packaged() {
  [ -f "$1" ] || fail "$1 is missing: build the target ferrox_vscode first"
  if grep -q '^SKIPPED' "$1"; then
    cat "$1"
    exit 77
  fi
}

case $1 in
grammar)
  packaged "$3"
  # The tool reads the grammar's path from package.json in the folder.
  cd "$editors/vscode"
  "$2/node_modules/.bin/vscode-tmgrammar-test" "test/*.tvs"
  ;;
vsix)
  packaged "$3"
  [ -f "$2" ] || fail "$2 was not written"
  listing=$(cmake -E tar tf "$2")
  for entry in extension/package.json extension/extension.js \
               extension/language-configuration.json \
               extension/syntaxes/ferrox.tmLanguage.json \
               extension/node_modules/vscode-languageclient/package.json; do
    grep -qxF "$entry" <<<"$listing" || fail "$2 does not hold $entry"
  done
  if grep -E '^extension/(test/|node_modules/(@vscode/vsce|vscode-tmgrammar-test)/)' <<<"$listing"; then
    fail "$2 holds the tests or the build's own packages"
  fi
  unpacked=$(mktemp -d)
  trap 'rm -rf "$unpacked"' EXIT
  (cd "$unpacked" && cmake -E tar xf "$2" extension/package.json)
  version=$(node -p "require(process.argv[1]).version" "$unpacked/extension/package.json")
  [ "$version" = "$4" ] || fail "the packaged extension has version $version, not $4"
  echo "PASSED: $2 holds the extension, version $version ($(wc -l <<<"$listing") files)"
  ;;
node)
  need node
  node "$editors/$2"
  ;;
vim)
  need nvim
  FERROX_VIM="$editors/vim" FERROX_EXAMPLES="$examples" \
    nvim --headless --clean -i NONE -n --cmd 'let &runtimepath = $FERROX_VIM . "," . &runtimepath' \
      -S "$editors/$2"
  ;;
nvim-client)
  need nvim node
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  FERROX_LSP="$editors/nvim/test/fake-server.js" FERROX_FAKE_LOG="$log" \
  FERROX_MAIN_FILE="$examples/hello.tvs" FERROX_CLIENT_TEST="$editors/nvim/test/client.lua" \
    nvim --headless --noplugin -i NONE -n -u "$editors/nvim/ferrox.lua" \
      -c 'lua dofile(vim.env.FERROX_CLIENT_TEST)'
  ;;
nvim-lsp)
  need nvim
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$examples/console.tvh" "$work/"
  sed 's/^    halt$/    hlt/' "$examples/hello.tvs" >"$work/hello.tvs"
  grep -q '^    hlt$' "$work/hello.tvs" || fail "examples/hello.tvs has no line to break"
  FERROX_LSP="$2" FERROX_MAIN_FILE="$work/hello.tvs" FERROX_CLIENT_TEST="$editors/nvim/test/lsp.lua" \
    XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
    nvim --headless --noplugin -i NONE -n -u "$editors/nvim/ferrox.lua" \
      -c 'lua dofile(vim.env.FERROX_CLIENT_TEST)'
  ;;
*)
  fail "unknown test $1"
  ;;
esac
