#!/usr/bin/env bash
# The program as a resident of the desktop, under Xvfb without a window manager.
#   shell.sh tray|notray <program> <delivered user.mdb> <seed_events> <close_window>
# tray:   with trayer as the tray host: the icon is embedded in it; the global hot key shows
#         "nothing pending", then a pending alarm seeded meanwhile; the close box hides the
#         window and keeps the program; a second start ends with 0 at once, writes nothing and
#         brings the window back; the tray menu's Exit ends the program with 0.
# notray: without a tray host the close box leaves the window on the screen (minimised, for a
#         window manager) and the program running.
set -euo pipefail

if [ "${1:-}" = inside ]; then
    fail() {
        echo "FAIL: $*" >&2
        exit 1
    }
    # wait_for <seconds> <command...>: polls the command until it succeeds.
    wait_for() {
        local deadline=$((SECONDS + $1))
        shift
        until "$@" >/dev/null 2>&1; do
            [ "$SECONDS" -lt "$deadline" ] || return 1
            kill -0 "$pid" 2>/dev/null || fail "the program ended"
            sleep 0.1
        done
    }
    viewable() { xwininfo -id "$1" 2>/dev/null | grep -q "Map State: IsViewable"; }
    hidden() { ! viewable "$1"; }
    shown() { xdotool search --onlyvisible --name "$1" | head -n 1 | grep .; }
    gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
    # Asks the window with the title matching $1 to close, again while it stays: a request that
    # reaches a dialog before it is ready for it is lost.
    close_titled() {
        local w
        w=$(shown "$1") || return 0
        "$close" "$w"
        sleep 0.3
        gone "$1"
    }
    # Asks the main window to close until it is hidden (see close_titled).
    close_main() {
        if viewable "$main"; then "$close" "$main"; fi
        sleep 0.3
        hidden "$main"
    }
    # The main window: the program's large window (its tray icon has the same name).
    find_main() {
        local w
        for w in $(xdotool search --onlyvisible --name "^Quenlaris Calendar$" 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            if [ "$WIDTH" -gt 200 ]; then
                echo "$w" >"$work/main"
                return 0
            fi
        done
        return 1
    }
    # The program's window embedded in the tray host.
    find_icon() {
        local panel
        for panel in $(xdotool search --class '^trayer$' 2>/dev/null); do
            xwininfo -tree -id "$panel" | awk '/\("quenlaris-calendar" / { print $1; found = 1; exit }
                END { exit !found }' >"$work/icon" && return 0
        done
        return 1
    }
    snapshot() { find "$folder" "$XDG_RUNTIME_DIR" -printf '%p %s %T@\n' | sort; }
    # Window titles carry the program's name after a dash.
    information="^Information( . Quenlaris Calendar)?$"
    alarm="^Quenlaris Calendar Reminder -  Pending Events( . Quenlaris Calendar)?$"

    pid=$$
    if [ "$mode" = tray ]; then
        trayer --edge top --align right --widthtype pixel --width 120 --height 24 \
            --SetDockType true --transparent false &
        trayer_pid=$!
        wait_for 20 xdotool search --class '^trayer$' || fail "trayer did not start"
    fi
    "$folder/quenlaris-calendar" &
    pid=$!
    trap 'kill $pid ${trayer_pid:-} 2>/dev/null || true' EXIT
    wait_for 60 find_main || fail "no main window"
    main=$(cat "$work/main")

    if [ "$mode" = notray ]; then
        "$close" "$main"
        # The hot key's message comes after the close request has been handled.
        xdotool key ctrl+shift+z
        wait_for 20 shown "$information" || fail "no answer to the hot key"
        viewable "$main" || fail "without a tray host the close box hid the window"
        kill -0 "$pid" || fail "the close box ended the program"
        echo "no tray: the close box kept the window on the screen"
        exit 0
    fi

    wait_for 20 find_icon || fail "the tray icon is not embedded in the tray host"
    icon=$(cat "$work/icon")
    echo "tray icon $icon embedded in trayer"

    # The hot key with nothing pending.
    xdotool key ctrl+shift+z
    wait_for 20 shown "$information" || fail "the hot key did not say that nothing is pending"
    wait_for 20 close_titled "$information" || fail "the message did not close"

    # The close box sends the window to the tray.
    wait_for 20 close_main || fail "the close box did not hide the window"
    kill -0 "$pid" || fail "the close box ended the program"
    echo "close box: window hidden, program running"

    # A second start: ends with 0 within 2 s (a sanitizer build starts several times slower),
    # writes nothing, and the window comes back.
    limit=2000
    if ldd "$folder/quenlaris-calendar" | grep -q libasan; then limit=8000; fi
    before=$(snapshot)
    started=$(date +%s%N)
    status=0
    timeout 10 "$folder/quenlaris-calendar" || status=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    [ "$status" -eq 0 ] || fail "the second start ended with $status"
    [ "$elapsed" -lt "$limit" ] || fail "the second start took ${elapsed} ms"
    [ "$before" = "$(snapshot)" ] || fail "the second start changed files"
    wait_for 20 viewable "$main" || fail "the second start did not bring the window back"
    [ "$(pgrep -c -f "^$folder/quenlaris-calendar")" -eq 1 ] || fail "more than one process"
    echo "second start: status 0 after ${elapsed} ms, first window shown"

    # The hot key while in the tray, with an alarm that fell due meanwhile (the program started
    # on an empty database).
    wait_for 20 close_main || fail "the close box did not hide the window"
    "$seed" "$folder" --due-alarm
    xdotool key ctrl+shift+z
    wait_for 20 shown "$alarm" || fail "the hot key did not show the pending alarm"
    wait_for 20 close_titled "$alarm" || fail "the alarm window did not close"
    echo "hot key: nothing pending, then the pending alarm"

    # An import from the command line is made by the running program: with user.mdb
    # read-only from now on, only the program's open connection can still write it.
    printf 'BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:shell-1\r\nSUMMARY:Flight\r\nCATEGORIES:Trips\r\nDTSTART:20300105T090000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n' >"$work/in.ics"
    chmod a-w "$folder/user.mdb"
    status=0
    said=$(timeout 30 "$folder/quenlaris-calendar" --import-ics "$work/in.ics") || status=$?
    chmod u+w "$folder/user.mdb"
    [ "$status" -eq 0 ] || fail "the handed-over import ended with $status"
    [ "$(printf '%s' "$said" | head -n 1)" = "1 events imported, 0 changed (see details), 0 skipped" ] ||
        fail "the handed-over import said: $said"
    grep -q '=Trips$' "$folder/setup.ini" || fail "the imported layer is not in setup.ini"
    echo "command-line import: made by the running program"

    # The tray menu's Exit.
    # The menu is a window that was not there before the click (the tray's message about
    # running on may close at the same click, so the number of windows need not grow).
    windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | sort; }
    before=$(windows)
    new_window() { comm -13 <(printf '%s\n' "$before") <(windows) | grep -q .; }
    xdotool mousemove --window "$icon" 8 8 click 3
    wait_for 20 new_window || fail "the tray menu did not open"
    xdotool key x
    for _ in $(seq 1 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "Exit in the tray menu did not end the program"
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "Exit ended the program with $status"
    echo "tray Exit: status 0"
    exit 0
fi

mode=$1 program=$2 database=$3 seed=$4 close=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=$work/program
mkdir -p "$folder/music" "$folder/help" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$folder/quenlaris-calendar"
cp "$database" "$folder/user.mdb"
chmod u+w "$folder/user.mdb"

export mode folder seed close work
export XDG_RUNTIME_DIR=$work/runtime
# The tray icon docks through XEmbed into trayer, not through a session bus.
unset DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb
timeout 120 xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" inside
