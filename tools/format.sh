#!/bin/bash
# Formats every tracked C and C++ file of the tree in place with the root .clang-format
# (Debian's clang-format, installed by tools/install-deps.sh) and prints how many files
# and lines it changed. With --check it changes nothing, lists the files that would
# change and exits 1 when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then check=1; fi
if ! command -v clang-format >/dev/null; then
  echo "format: clang-format is missing (bash tools/install-deps.sh)" >&2
  exit 2
fi

tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
changed_files=0
changed_lines=0
total=0
while IFS= read -r f; do
  total=$((total + 1))
  clang-format --style=file "$f" > "$tmp"
  if ! cmp -s "$tmp" "$f"; then
    lines=$(diff "$f" "$tmp" | grep -c '^<' || true)
    changed_files=$((changed_files + 1))
    changed_lines=$((changed_lines + lines))
    if [ $check = 1 ]; then
      echo "would change: $f ($lines lines)"
    else
      cat "$tmp" > "$f"
    fi
  fi
done < <(git ls-files '*.c' '*.cpp' '*.h' '*.hpp' '*.inc')
echo "format: $total files, $changed_files changed, $changed_lines lines of them changed"
if [ $check = 1 ] && [ $changed_files -gt 0 ]; then exit 1; fi
exit 0
