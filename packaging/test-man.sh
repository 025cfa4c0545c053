#!/usr/bin/env bash
# Checks that the manual page renders with man -l, that groff finds nothing
# to warn about in it, and that it names every word given (by default those
# of ferrox.1: every switch and installation file).
#
#   packaging/test-man.sh PAGE [WORD...]
#
# Exits 77 (reported as skipped) where man or groff is missing.
set -euo pipefail

page=$1
shift
words=("$@")
if [ "${#words[@]}" -eq 0 ]; then
  words=(SYNOPSIS "EXIT STATUS" FILES EXAMPLES -nodisk -nobootinfo
         std.tvh Instructions.okl Directories.okl "error 900:" "Error 200:")
fi
for tool in man groff; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed"
    exit 77
  fi
done

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "FAILED: groff warns about $page:" >&2
  echo "$warnings" >&2
  exit 1
fi

text=$(MANWIDTH=80 man -l "$page" 2>&1)
for word in "${words[@]}"; do
  if ! grep -qF -- "$word" <<<"$text"; then
    echo "FAILED: the rendered page does not mention \"$word\"" >&2
    exit 1
  fi
done
echo "PASSED: $page renders with man -l ($(wc -l <<<"$text") lines)"
