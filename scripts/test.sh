#!/usr/bin/env bash
# Builds everything and runs every test headless; then builds the window
# tests once more with AddressSanitizer in a second folder and runs them, so
# that a window used after it was destroyed fails instead of passing by luck.
# SKIP_ASAN=1 leaves the second pass out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
asan=${ASAN_BUILD_DIR:-$here/build-asan}
bash "$here/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
# The tests must leave the user's home as it was: they run here with an
# empty one, which is still empty at the end.
home=$(mktemp -d)
fonts=$(mktemp -d)
trap 'rm -rf "$home" "$fonts"' EXIT
# Listing the tests starts every test program in ctest's own environment: a
# font folder without a system cache (fonts copied in by hand) has fontconfig
# write its cache into the home it is given. The tests are listed afresh so;
# the entries under the Chinese locale (there must be some) must carry it.
cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/"
printf '<fontconfig><dir>%s</dir><cachedir prefix="xdg">fontconfig</cachedir></fontconfig>\n' "$fonts" >"$fonts/fonts.conf"
find "$build" -name '*]_tests.cmake' -delete
chinese=$(cd "$build" && HOME=$home FONTCONFIG_FILE=$fonts/fonts.conf ctest -N -V -R '[.]zh_CN$')
listed=$(grep -c 'Test *#.*[.]zh_CN$' <<<"$chinese" || true)
if [ "$listed" = 0 ] || [ "$(grep -c ' LANG=zh_CN[.]UTF-8$' <<<"$chinese")" != "$listed" ]; then
  echo "No tests listed under the Chinese locale, or some run without it:" >&2
  echo "$chinese" >&2
  exit 1
fi
(cd "$build" && HOME=$home ctest --output-on-failure -j"$(nproc)" --timeout 300)

if [ "${SKIP_ASAN:-0}" != 1 ]; then
  cmake -S "$here" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE_ADDRESS=ON >/dev/null
  cmake --build "$asan" -j"$(nproc)" --target window_tests
  # Qt keeps some of its memory to the end: leaks are not what this pass is for.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:halt_on_error=1
  (cd "$asan" && HOME=$home ctest --output-on-failure -j"$(nproc)" --timeout 600 -L window)
fi
if [ -n "$(ls -A "$home")" ]; then
  echo "The tests wrote into the user's home:" >&2
  (cd "$home" && find . -mindepth 1 >&2)
  exit 1
fi
