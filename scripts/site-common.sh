# Shared by run.sh and demo.sh (sourced, not run): the steps both program
# folders need. Expects $here (the repository), $build and $site.

# Registers the folder's controller library in the folder's own registry.
register_library() {
    mkdir -p "$site/registry"
    export DOORSUITE_REGISTRY_DIR="$site/registry"
    "$site/regsvr" "$site/libVantrel.so"
}

# Refuses to go on without a desktop session ($1: the program, $2: the script).
require_display() {
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" = "" ]; then
        echo "$1 needs a desktop session (no DISPLAY is set)." >&2
        echo "Without one, run: xvfb-run -a bash scripts/$2" >&2
        exit 1
    fi
}

# Starts the simulated controllers for as long as the calling script runs.
start_simulator() {
    rm -f "$site/doorsim.sock"
    "$site/doorsim" --state "$site/doorsim.json" "$site/doorsim.sock" &
    sim=$!
    trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do
        [ -S "$site/doorsim.sock" ] && break
        sleep 0.1
    done
}
