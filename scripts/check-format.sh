#!/usr/bin/env bash
# Fails when a source file differs from what clang-format makes of it. Run scripts/format.sh to fix.
set -euo pipefail
clang_format=${1:-clang-format}
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ ${#files[@]} -eq 0 ] && exit 0
"$clang_format" --dry-run -Werror "${files[@]}"
