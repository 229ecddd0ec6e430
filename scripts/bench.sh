#!/usr/bin/env bash
# Builds the tree and runs a benchmark on the real clock:
#   scripts/bench.sh [args]          collection: 3000 punch records from a virtual
#                                    controller at the real line speed (bench_collect:
#                                    --line inproc|socket|both, --records N, --interval MS)
#   scripts/bench.sh gather [args]   the collection window's processing of 30,000
#                                    collected punches against the line time
#                                    (bench_gather: --records N, --line-records N, ...)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
target=bench_collect
if [ "${1:-}" = gather ]; then
  target=bench_gather
  shift
fi
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j3 --target "$target"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$build/bin/$target" "$@"
