#!/usr/bin/env bash
# The synchronisation's command line against a real Radicale, with the password in a real
# Secret Service (gnome-keyring unlocked on a private session bus):
#   cli_sync.sh <program folder> <session-bus.conf>
set -euo pipefail

if [ "${1:-}" = keyring ]; then
    eval "$(printf 'unlock-me\n' | gnome-keyring-daemon --unlock --components=secrets)"
    trap 'kill "${GNOME_KEYRING_PID:-}" 2>/dev/null || true' EXIT
    bash "$0" inside
    exit
fi

if [ "${1:-}" != inside ]; then
    program=$1 bus=$2
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -m 700 "$work/runtime"
    export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
    export XDG_RUNTIME_DIR=$work/runtime XDG_CURRENT_DESKTOP=GNOME work program
    unset DISPLAY WAYLAND_DISPLAY
    timeout 120 dbus-run-session --config-file="$bus" -- bash "$0" keyring
    exit
fi

cal=$program/quenlaris-calendar
fail() { echo "FAIL: $*"; exit 1; }
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'alice:s3cret pass\n' > "$work/users"
start_server() {
    /usr/bin/python3 -m radicale --config "" --server-hosts "127.0.0.1:$port" \
        --storage-filesystem-folder "$work/collections" --auth-type htpasswd \
        --auth-htpasswd-filename "$work/users" --auth-htpasswd-encryption plain \
        --logging-level warning &
    server=$!
    for _ in $(seq 100); do
        python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null && return
        sleep 0.1
    done
    fail "radicale did not start"
}
start_server
trap 'kill $server 2>/dev/null || true' EXIT
url=http://127.0.0.1:$port/alice/home/
python3 - "$url" <<'PY'
import sys, urllib.request, base64
request = urllib.request.Request(sys.argv[1], method="MKCALENDAR")
request.add_header("Authorization", "Basic " + base64.b64encode(b"alice:s3cret pass").decode())
urllib.request.urlopen(request)
PY

# Two folders bound to the same calendar, the password read once and kept in the keyring.
for folder in a b; do
    printf 's3cret pass\n' | "$cal" --data-dir "$work/$folder" --add-calendar "$url" \
        --layer Home --user alice --password-stdin > "$work/out" 2> "$work/err" ||
        fail "--add-calendar: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "--add-calendar said: $(cat "$work/err")"
    if grep -rq "s3cret" "$work/$folder"; then fail "the password was written to the data folder"; fi
done
"$cal" --data-dir "$work/a" --calendars | grep -q "^Home  $url  (alice)  never synchronised" ||
    fail "--calendars: $("$cal" --data-dir "$work/a" --calendars)"

# Added in A, synchronised by both, listed in B's agenda.
printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:cli-1@example.org\r\nDTSTART:20270310T090000\r\nSUMMARY:Dentist\r\nCATEGORIES:Home\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n' |
    "$cal" --data-dir "$work/a" --import-ics - > /dev/null
out=$("$cal" --data-dir "$work/a" --sync) || fail "--sync in A: $out"
[[ $out == *"1 sent"* ]] || fail "A sent nothing: $out"
out=$("$cal" --data-dir "$work/b" --sync) || fail "--sync in B: $out"
[[ $out == *"1 received"* ]] || fail "B received nothing: $out"
"$cal" --data-dir "$work/b" --agenda --from 2027-03-10 --days 1 | grep -q "Dentist  \[Home\]" ||
    fail "B's agenda lacks the event"
"$cal" --data-dir "$work/b" --calendars | grep -q "last synchronised .* UTC: Synchronised" ||
    fail "--calendars after a run: $("$cal" --data-dir "$work/b" --calendars)"

# The server away: status 2 and one line naming the failure.
kill $server
wait $server 2>/dev/null || true
status=0
"$cal" --data-dir "$work/a" --sync > "$work/out" 2> "$work/err" || status=$?
[ "$status" = 2 ] || fail "--sync without a server ended with $status"
[ "$(wc -l < "$work/err")" = 1 ] && grep -q "cannot be reached" "$work/err" ||
    fail "--sync without a server said: $(cat "$work/err")"
echo "all passed"
