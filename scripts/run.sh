#!/usr/bin/env bash
# Builds the command-line tool and runs it with the given arguments, for example:
#   scripts/run.sh info photo.bmp
#   scripts/run.sh convert photo.bmp copy.bmp
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" >&2
cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j"$(nproc)" --target lumivue-cli >&2
exec "$root/build/native/cli/lumivue-cli" "$@"
