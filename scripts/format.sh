#!/usr/bin/env bash
# Checks (or with --fix, applies) the house style of .clang-format on Korl's own
# C++ files. The example designs and the debugger's test programs are left as
# their authors wrote them: tests stop at their line numbers.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "korl: clang-format not found; style not checked"; exit 0; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v -e '^examples/' -e '^tests/.*/data/')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/korl-format.$$; then
  grep -o '^[^:]*:[0-9]*' /tmp/korl-format.$$ | sort -u | head -40
  rm -f /tmp/korl-format.$$
  echo "korl: files differ from .clang-format; run scripts/format.sh --fix"
  exit 1
fi
rm -f /tmp/korl-format.$$
echo "korl: ${#files[@]} files follow .clang-format"
