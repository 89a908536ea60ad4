#!/usr/bin/env bash
# Builds the command-line tool natively and runs it with the given arguments, for example:
#   scripts/cli.sh info photo.jpg
#   scripts/cli.sh convert photo.jpg copy.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" >&2
cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j2 --target lumivue-cli >&2
exec "$root/build/native/cli/lumivue-cli" "$@"
