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

# Builds the given targets, showing the build's progress ($@: targets).
build_targets() {
    echo "Building $* in $build (the first build takes a few minutes) ..."
    cmake --build "$build" -j"$(nproc)" --target "$@"
    echo "Build done."
}

# Gives the folder's "Public.Sys" the database provider of the shipped file
# when its [Access] section has none (the program rewrites a deleted file
# without one and then cannot open its database). Other lines stay as they are.
repair_provider() {
    local file="$site/Public.Sys" shipped="$build/bin/Public.Sys" line fixed
    [ -f "$file" ] || return 0
    line=$(grep -i -m1 '^[[:space:]]*Provider[[:space:]]*=' "$shipped" | tr -d '\r')
    [ -n "$line" ] || return 0
    fixed=$(mktemp)
    awk -v line="$line" '
        { raw = $0; sub(/\r$/, "", raw); t = raw; gsub(/^[ \t]+|[ \t]+$/, "", t) }
        t ~ /^\[/ {
            if (inAccess && !done) { print line "\r"; done = 1 }
            inAccess = (tolower(t) == "[access]"); seen = seen || inAccess; print; next
        }
        inAccess && tolower(t) ~ /^provider[ \t]*=/ {
            v = t; sub(/^[^=]*=[ \t]*/, "", v)
            if (v == "" && !done) { print line "\r"; done = 1; next }
            if (v != "") done = 1
        }
        { print }
        END {
            if (!done) {
                if (!seen) print "[Access]\r"
                print line "\r"
            }
        }' "$file" >"$fixed"
    if ! cmp -s "$file" "$fixed"; then
        cat "$fixed" >"$file"
        echo "Public.Sys had no database provider: added \"$line\" from the shipped file."
    fi
    rm -f "$fixed"
}

# Runs a program under the Chinese locale that install-deps.sh generates, so
# that weekday and month names and the calendars read Chinese whatever the
# desktop's own language ($@: the program and its arguments).
run_in_chinese() {
    if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
        echo "The locale zh_CN.UTF-8 is missing (bash scripts/install-deps.sh generates it);" >&2
        echo "dates are shown in the desktop's own language." >&2
        "$@"
        return
    fi
    LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 LANGUAGE=zh_CN "$@"
}

# Starts the simulated controllers for as long as the calling script runs.
# A simulator that another run still holds on the same state file is not
# started twice: cards sent through one would be lost by the other.
start_simulator() {
    local status=0
    "$site/doorsim" --setup-only --state "$site/doorsim.json" || status=$?
    if [ "$status" -eq 3 ]; then
        echo "Another controller simulator already uses $site/doorsim.json" >&2
        echo "(is run.sh or demo.sh still running for this folder?). Close that program first." >&2
        exit 1
    elif [ "$status" -ne 0 ]; then
        echo "The controller simulator cannot start (exit status $status)." >&2
        exit 1
    fi
    rm -f "$site/doorsim.sock"
    "$site/doorsim" --state "$site/doorsim.json" "$site/doorsim.sock" &
    sim=$!
    trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do
        [ -S "$site/doorsim.sock" ] && break
        sleep 0.1
    done
}
