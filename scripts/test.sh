#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build. Incremental: a second run rebuilds only what changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

jobs=$(nproc)
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$root" -B "$root/build/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$root/build/$dir" -j"$jobs"
}

configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure_and_build asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLV_SANITIZE=ON -DLV_BUILD_BENCH=OFF

echo "== native tests"
ctest --test-dir "$root/build/native" --output-on-failure -j"$jobs"
echo "== sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build/asan" --output-on-failure -j"$jobs"
echo "All tests passed."
