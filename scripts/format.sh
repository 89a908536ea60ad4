#!/usr/bin/env bash
# Formats every source file with the project's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done \
  | xargs -r clang-format -i
