#!/usr/bin/env bash
# Starts the program under Xvfb on a program folder whose user.mdb holds a due alarm, with the
# sound switched on, and a PulseAudio server of its own whose only sink is a null sink. The
# alarm window must come up at start-up; its screenshot is kept, and the null sink's monitor,
# recorded meanwhile, must have received the chime.
#   alarm_sound.sh <program> <delivered user.mdb> <delivered play.wav> <seed_events>
#                  <grab_screen> <sound_level> <out.png>
set -euo pipefail
program=$1 database=$2 sound=$3 seed=$4 grab=$5 level=$6 out=$7

work=$(mktemp -d)
pulse_pid= record_pid=
cleanup() {
    for pid in $record_pid $pulse_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

folder=$work/program
mkdir -p "$folder/music" "$folder/help"
cp "$program" "$folder/quenlaris-calendar"
cp "$database" "$folder/user.mdb"
cp "$sound" "$folder/music/play.wav"
chmod u+w "$folder/user.mdb" "$folder/music/play.wav"
"$seed" "$folder" --due-alarm
rm -f "$out"

# A sound server of this test alone: its own runtime folder and home (the cookie), no default
# configuration (no hardware, no D-Bus), never leaving while idle. It runs as root in CI.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
    --load=module-native-protocol-unix >"$work/pulseaudio.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$pulse_pid" 2>/dev/null || { cat "$work/pulseaudio.log" >&2; fail "pulseaudio ended"; }
    sleep 0.1
done
pactl info >/dev/null 2>&1 || fail "pulseaudio does not answer"
pactl load-module module-null-sink sink_name=qcaltest >/dev/null
pactl set-default-sink qcaltest
parec -d qcaltest.monitor --format=s16le --rate=44100 --channels=1 --raw >"$work/heard.raw" &
record_pid=$!

export folder grab out
# A real X server: the windows must be mapped, whatever platform the caller chose.
export QT_QPA_PLATFORM=xcb
timeout 90 xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -euo pipefail
    "$folder/quenlaris-calendar" &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    alarm="^Quenlaris Calendar Reminder -  Pending Events$"
    # The start-up shows what is pending at once; allow a busy machine its time.
    for _ in $(seq 1 300); do
        xdotool search --onlyvisible --name "$alarm" >/dev/null 2>&1 && break
        kill -0 "$pid" 2>/dev/null || { echo "the program ended early"; exit 1; }
        sleep 0.2
    done
    xdotool search --onlyvisible --name "$alarm" >/dev/null || { echo "no alarm window"; exit 1; }
    xdotool search --onlyvisible --name "^Quenlaris Calendar$" >/dev/null ||
        { echo "no main window"; exit 1; }
    # The chime lasts about a second.
    sleep 2.5
    "$grab" "$out"
    kill "$pid"
    wait "$pid" || true
' || fail "the alarm window did not come up"
test -s "$out" || fail "no screenshot"

kill "$record_pid" 2>/dev/null || true
wait "$record_pid" 2>/dev/null || true
record_pid=
"$level" "$work/heard.raw" || fail "the null sink heard no sound"
echo "alarm window: $out"
