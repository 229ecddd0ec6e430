#!/usr/bin/env bash
# Runs Demo against a simulated controller: installs what is missing, builds,
# prepares the program folder (demo-site/ by default) with the registered
# controller library, ports 1 to 5 mapped to the simulated line, and a
# controller at address 18 holding a few punch records; starts the simulator
# and then Demo under the Chinese locale. Later runs keep the folder's
# settings and the controller's state.
#
#   DEMO_DIR   the program folder   (default: <repo>/demo-site)
#   BUILD_DIR  the build folder     (default: <repo>/build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
site=${DEMO_DIR:-$here/demo-site}
mkdir -p "$site"
site=$(cd "$site" && pwd)

source "$here/scripts/site-common.sh"
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
build_targets Demo Vantrel doorsim regsvr

for f in "$build"/bin/Demo "$build"/bin/doorsim "$build"/bin/regsvr; do
    install -m 755 "$f" "$site/"
done
for f in "$build"/bin/libVantrel.so "$build"/bin/libplat_*.so "$build"/bin/librt_*.so; do
    install -m 644 "$f" "$site/"
done


if [ ! -f "$site/serialports.conf" ]; then
    {
        echo "# Serial port number = device. Ports 1 to 5 reach the simulated controller;"
        echo "# for a real line write for instance 2=/dev/ttyUSB0."
        for n in 1 2 3 4 5; do echo "$n=sim:$site/doorsim.sock"; done
    } >"$site/serialports.conf"
fi
if [ ! -f "$site/doorsim.json" ]; then
    d=$(date -d '-1 day' +%F)
    "$site/doorsim" --setup-only --state "$site/doorsim.json" --add 18 \
        --punch "18,1234567,$d 08:01:15" --punch "18,1234568,$d 08:12:40" \
        --punch "18,1234567,$d 17:30:02"
fi

# The controller library, registered in the folder's own registry; then the
# simulated controllers, for as long as Demo runs.
register_library
require_display Demo demo.sh
start_simulator

cd "$site"
run_in_chinese "$site/Demo"
