#!/usr/bin/env bash
# Runs the sample site: installs what is missing, builds the programs,
# prepares the program folder (site/ by default), starts the controller
# simulator and then Ostrela under the Chinese locale. The program folder is
# made once; later runs keep its database, settings and the simulated
# controllers' state, and only bring the programs up to date.
#
#   SITE_DIR   the program folder            (default: <repo>/site)
#   BUILD_DIR  the build folder              (default: <repo>/build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
site=${SITE_DIR:-$here/site}
mkdir -p "$site"
site=$(cd "$site" && pwd)

source "$here/scripts/site-common.sh"
source "$here/scripts/sample-state.sh"
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
build_targets Ostrela Vantrel doorsim regsvr door_mdb sysinf_ini

# The programs, libraries, help document and hardware description: always those of the latest build
# (install replaces a file even while an older copy is running).
for f in "$build"/bin/Ostrela "$build"/bin/doorsim "$build"/bin/regsvr; do
    install -m 755 "$f" "$site/"
done
for f in "$build"/bin/*.so "$build"/bin/door.hlp "$build"/bin/sysinf.ini; do
    install -m 644 "$f" "$site/"
done
mkdir -p "$site/basedata" "$site/SendData" "$site/registry"

# What the site keeps from one run to the next: made only when missing.
if [ ! -f "$site/Public.Sys" ]; then
    cp "$build/bin/Public.Sys" "$site/Public.Sys"
fi
repair_provider
if [ ! -f "$site/door.mdb" ]; then
    cp "$build/bin/door.mdb" "$site/door.mdb.new"
    sqlite3 -bail "$site/door.mdb.new" ".read $here/sample/seed.sql"
    mv "$site/door.mdb.new" "$site/door.mdb"
fi
if [ ! -f "$site/serialports.conf" ]; then
    cat >"$site/serialports.conf" <<CONF
# Serial port number = device. Port 1 is the simulated controller line of
# the sample site; for a real line write for instance 1=/dev/ttyUSB0.
1=sim:$site/doorsim.sock
CONF
fi
# The controllers report doorsim's default version, the one the shipped
# database is set to, and hold the delays of the stored doors.
if [ ! -f "$site/doorsim.json" ]; then
    make_sample_state
fi

# The controller library, registered in the folder's own registry; then the
# simulated controllers, for as long as Ostrela runs.
register_library
require_display Ostrela run.sh
start_simulator

cd "$site"
run_in_chinese "$site/Ostrela"
