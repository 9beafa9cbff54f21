#!/usr/bin/env bash
# Lays out the project's C and C++ files by .clang-format. `tools/format.sh` rewrites them in
# place; `tools/format.sh --check` changes nothing and fails, naming each file, when one is not
# laid out so (./test runs it that way).
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.c' '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print)
fi
existing=()
for file in "${files[@]}"; do [ -f "$file" ] && existing+=("$file"); done

if [ "${1:-}" = "--check" ]; then
  source tools/steps.sh
  if ! clang-format --dry-run --Werror "${existing[@]}" 2>/dev/null; then
    echo "Not laid out by .clang-format (tools/format.sh lays them out):" >&2
    unformatted=0
    for file in "${existing[@]}"; do
      clang-format --dry-run --Werror "$file" >/dev/null 2>&1 && continue
      echo "  $file" >&2
      unformatted=$((unformatted + 1))
    done
    korva_count $((${#existing[@]} - unformatted)) "$unformatted"
    exit 1
  fi
  korva_count "${#existing[@]}" 0
else
  clang-format -i "${existing[@]}"
fi
