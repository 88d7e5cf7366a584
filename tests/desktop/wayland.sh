#!/usr/bin/env bash
# Starts the program as a Wayland client of a headless weston and reads the compositor's own
# protocol log: a buffer is attached to the surface of the toplevel "Quenlaris Calendar", so
# the main window is shown; then SIGTERM ends the program with status 0.
#   wayland.sh <program> <delivered user.mdb> <seed_events>
set -euo pipefail
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    sed 's/^/program: /' "$work/program.log" >&2
    exit 1
}
mkdir -p "$work/program" && cp "$1" "$work/program/quenlaris-calendar"
cp "$2" "$work/program/user.mdb" && chmod u+w "$work/program/user.mdb"
"$3" "$work/program" >/dev/null

export XDG_RUNTIME_DIR=$work/runtime WAYLAND_DISPLAY=qcal-wayland
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
    --logger-scopes=proto --log="$work/weston.log" >/dev/null 2>&1 &
for _ in $(seq 1 100); do [[ -S $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY ]] && break; sleep 0.1; done
# In the sanitizer build, leak checks stay off for this run: the Wayland client library and
# the graphics driver it loads keep buffers until the process ends, and the driver is unloaded
# before the leak check can name it. Every other sanitizer check stays on.
env -u DISPLAY QT_QPA_PLATFORM=wayland ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    "$work/program/quenlaris-calendar" >"$work/program.log" 2>&1 &
pid=$!

shown() {
    awk '
        match($0, /get_xdg_surface\(new id xdg_surface@[0-9]+, wl_surface@[0-9]+\)/) {
            split(substr($0, RSTART, RLENGTH), p, /[@,)]/); surface[p[2]] = p[4]
        }
        match($0, /xdg_surface@[0-9]+\.get_toplevel\(new id xdg_toplevel@[0-9]+\)/) {
            split(substr($0, RSTART, RLENGTH), p, /[@.)]/); toplevel[p[4]] = p[2]
        }
        match($0, /xdg_toplevel@[0-9]+\.set_title\("Quenlaris Calendar"\)/) {
            split(substr($0, RSTART, RLENGTH), p, /[@.]/); main = surface[toplevel[p[2]]]
        }
        main != "" && index($0, "rq wl_surface@" main ".attach(wl_buffer@") { found = 1 }
        END { exit !found }' "$work/weston.log"
}
for _ in $(seq 1 300); do
    shown && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended early"
    sleep 0.2
done
shown || fail "the compositor never got the main window's picture"
kill -TERM "$pid"
wait "$pid" || fail "the program ended with status $? on SIGTERM"
echo "shown as a Wayland client and ended cleanly"
