#!/usr/bin/env bash
# Starts the program as a Wayland client of a headless weston and reads the compositor's own
# protocol log: the program's toplevel "Quenlaris Calendar" gets a buffer, so its main window
# is shown; then SIGTERM ends the program with status 0.
#   wayland.sh <program> <delivered user.mdb> <seed_events>
set -euo pipefail
program=$1 database=$2 seed=$3

work=$(mktemp -d)
weston_pid=
pid=
cleanup() {
    for p in $pid $weston_pid; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [[ -f $work/program.log ]] && sed 's/^/program: /' "$work/program.log" >&2
    exit 1
}

folder=$work/program
mkdir -p "$folder/music" "$folder/help"
cp "$program" "$folder/quenlaris-calendar"
cp "$database" "$folder/user.mdb"
chmod u+w "$folder/user.mdb"
"$seed" "$folder" >/dev/null

export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
log=$work/weston.log
weston --backend=headless-backend.so --socket=qcal-wayland --idle-time=0 \
    --logger-scopes=log,proto --log="$log" >/dev/null 2>&1 &
weston_pid=$!
for _ in $(seq 1 100); do
    [[ -S $XDG_RUNTIME_DIR/qcal-wayland ]] && break
    kill -0 "$weston_pid" 2>/dev/null || fail "weston ended at once"
    sleep 0.1
done
[[ -S $XDG_RUNTIME_DIR/qcal-wayland ]] || fail "weston made no socket"

env -u DISPLAY WAYLAND_DISPLAY=qcal-wayland QT_QPA_PLATFORM=wayland \
    "$folder/quenlaris-calendar" >"$work/program.log" 2>&1 &
pid=$!

# The wl_surface of the toplevel titled "Quenlaris Calendar", once a buffer is attached to it.
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
        END { exit found ? 0 : 1 }
    ' "$log"
}
for _ in $(seq 1 300); do
    shown && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended early"
    sleep 0.2
done
shown || fail "the compositor never got the main window's picture"
grep -q 'xdg_toplevel@[0-9]*\.set_title("Quenlaris Calendar")' "$log" || fail "no main window"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[[ $status == 0 ]] || fail "the program ended with status $status"
echo "shown as a Wayland client and ended cleanly"
