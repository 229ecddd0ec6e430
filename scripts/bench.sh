#!/usr/bin/env bash
# Builds the tree and runs the collection benchmark: 3000 punch records from a
# virtual controller at the real line speed, on the real clock. Arguments go
# to bench_collect (--line inproc|socket|both, --records N, --interval MS).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j3 --target bench_collect
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$build/bin/bench_collect" "$@"
