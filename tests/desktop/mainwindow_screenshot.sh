#!/usr/bin/env bash
# Starts the program under Xvfb on a seeded program folder, waits for its main window and
# saves a screenshot.
#   mainwindow_screenshot.sh <program> <delivered user.mdb> <seed_events> <grab_screen> <out.png>
set -euo pipefail
program=$1 database=$2 seed=$3 grab=$4 out=$5

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/quenlaris-calendar"
cp "$database" "$folder/user.mdb"
chmod u+w "$folder/user.mdb"
mkdir -p "$folder/music" "$folder/help"
"$seed" "$folder"
rm -f "$out"

export folder grab out
# A real X server: the window must be mapped, whatever platform the caller chose.
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -euo pipefail
    "$folder/quenlaris-calendar" &
    pid=$!
    trap "kill \$pid 2>/dev/null || true" EXIT
    for _ in $(seq 1 300); do
        xdotool search --onlyvisible --name "^Quenlaris Calendar$" >/dev/null 2>&1 && break
        kill -0 "$pid" 2>/dev/null || { echo "the program ended early"; exit 1; }
        sleep 0.2
    done
    xdotool search --onlyvisible --name "^Quenlaris Calendar$" >/dev/null || { echo "no main window"; exit 1; }
    sleep 1.5
    "$grab" "$out"
    kill "$pid"
    wait "$pid" || true
'
test -s "$out"
echo "screenshot: $out"
