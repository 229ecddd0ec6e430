#!/usr/bin/env bash
# Builds the tree and runs the query benchmark: the punch query on a million
# punch records and the attendance query on a month of 31,000 rows, on the
# real clock. Arguments go to bench_queries (--runs N).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j3 --target bench_queries
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$build/bin/bench_queries" "$@"
