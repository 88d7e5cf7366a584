#!/usr/bin/env bash
# The secret store: without a session bus, on a session bus without a Secret Service, and
# against gnome-keyring unlocked on a private session bus.
#   secret_store.sh <test_secretstore> <session-bus.conf>
set -euo pipefail

if [ "${1:-}" = keyring ]; then
    # Inside the private bus: a keyring daemon with a new login keyring, unlocked by the
    # password on its standard input.
    eval "$(printf 'unlock-me\n' | gnome-keyring-daemon --unlock --components=secrets)"
    trap 'kill "${GNOME_KEYRING_PID:-}" 2>/dev/null || true' EXIT
    status=0
    "$test" storeAnswers roundTrip || status=$?
    exit "$status"
fi

test=$1 bus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export XDG_CURRENT_DESKTOP=GNOME
unset DISPLAY WAYLAND_DISPLAY

echo "-- no session bus"
env -u DBUS_SESSION_BUS_ADDRESS "$test" noStore
echo "-- a session bus without a Secret Service"
dbus-run-session --config-file="$bus" -- "$test" noStore
echo "-- gnome-keyring"
export test
timeout 110 dbus-run-session --config-file="$bus" -- bash "$0" keyring
