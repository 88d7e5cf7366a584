#!/usr/bin/env bash
# Installs the built program into temporary prefixes with temporary home folders: the layout,
# a read-only install that keeps each user's data in that user's home folder, and the upgrade
# over an install of the layout from before, which keeps the events.
#   install_check.sh <build folder> <delivered user.mdb> <delivered setup.ini> <delivered play.wav>
set -euo pipefail
build=$1 database=$2 settings=$3 sound=$4

work=$(mktemp -d)
pid=
cleanup() {
    [[ -z $pid ]] || kill -KILL "$pid" 2>/dev/null || true
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
unset XDG_DATA_HOME DISPLAY WAYLAND_DISPLAY
printf '%s\r\n' BEGIN:VCALENDAR VERSION:2.0 PRODID:-//test//EN BEGIN:VEVENT UID:kept-1 \
    DTSTART:20261210T100000 DTEND:20261210T110000 'SUMMARY:Kept event' END:VEVENT \
    END:VCALENDAR >"$work/event.ics"
# has_event <home> <command>: the command's agenda shows the event.
has_event() {
    HOME=$1 "$2" --agenda --from 2026-12-10 --days 1 --all-layers | grep -q '10:00  Kept event'
}
data_folder() {
    HOME=$1 "$2" --help | sed -n 's/^Data folder in use: //p'
}

prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "the install"
folder=$prefix/lib/quenlaris-calendar
link=$prefix/bin/quenlaris-calendar
[[ -x $folder/quenlaris-calendar-desktop && -s $folder/help/index.html ]] || fail "no program"
for pair in "$database|user.mdb" "$settings|setup.ini" "$sound|music/play.wav"; do
    cmp -s "${pair%|*}" "$folder/delivered/${pair#*|}" || fail "no delivered ${pair#*|}"
done
[[ ! -e $folder/user.mdb ]] || fail "the program folder holds data of its own"
[[ $(readlink -f "$link") == "$folder/quenlaris-calendar" ]] || fail "$link leads elsewhere"
grep -qxF "Exec=\"$link\"" "$prefix/share/applications/quenlaris-calendar.desktop" ||
    fail "the launcher does not start $link"
# One version: the manual page names the one that --version prints.
version=$(env -u DISPLAY "$link" --version) || fail "--version ended with an error"
[[ $version == "quenlaris-calendar "* ]] || fail "--version printed '$version'"
zcat "$prefix/share/man/man1/quenlaris-calendar.1.gz" |
    grep -qF "\"Quenlaris Calendar ${version#quenlaris-calendar }\"" ||
    fail "the manual page names another version than $version"

# Read-only, as a package installs it: each user's data is made in the user's home folder, and
# the install stays as it was.
chmod -R a-w "$prefix"
before=$(cd "$prefix" && find . -type f -exec sha256sum {} + | sort)
mkdir "$work/ann" "$work/bob"
[[ $(data_folder "$work/ann" "$link") == $work/ann/.local/share/quenlaris-calendar ]] ||
    fail "--help names another data folder"
HOME=$work/ann "$link" --import-ics "$work/event.ics" >/dev/null || fail "the import"
has_event "$work/ann" "$link" || fail "the event is not kept"
! has_event "$work/bob" "$link" || fail "bob sees ann's event"
cmp -s "$sound" "$work/bob/.local/share/quenlaris-calendar/music/play.wav" || fail "no sound"
[[ $(cd "$prefix" && find . -type f -exec sha256sum {} + | sort) == "$before" ]] ||
    fail "running the program changed the install"

# The desktop program, started through the link, opens the user's database and ends with
# status 0 on SIGTERM.
(cd / && HOME=$work/ann QT_QPA_PLATFORM=offscreen exec "$link" >/dev/null 2>&1) &
pid=$!
opened() {
    ls -l /proc/"$pid"/fd 2>/dev/null | grep -q "ann/.local/share/quenlaris-calendar/user.mdb$"
}
for _ in $(seq 1 150); do
    opened && break
    kill -0 "$pid" 2>/dev/null || fail "the desktop program ended early"
    sleep 0.1
done
opened || fail "the desktop program did not open the user's user.mdb"
kill -TERM "$pid"
wait "$pid" || fail "the desktop program ended with $? on SIGTERM"
pid=

# The upgrade over the layout from before, whose program folder <prefix>/share/quenlaris-calendar
# held the executables beside the data: as the per-user install in ~/.local, whose program
# folder is the new data folder, and elsewhere.
for kind in home elsewhere; do
    home=$work/upgrade-$kind
    prefix=$home/.local expected=$home/.local/share/quenlaris-calendar
    [[ $kind == home ]] || prefix=$work/opt expected=$work/opt/lib/quenlaris-calendar
    old=$prefix/share/quenlaris-calendar link=$prefix/bin/quenlaris-calendar
    mkdir -p "$old/music" "$old/help" "$prefix/bin" "$prefix/share/man/man1"
    cp "$build"/program/quenlaris-calendar* "$old/"
    cp "$build"/program/help/*.html "$old/help/"
    cp "$database" "$settings" "$old/"
    printf 'my own sound' >"$old/music/play.wav"
    cp "$(dirname "$0")/../../app/quenlaris-calendar.1.in" "$prefix/share/man/man1/quenlaris-calendar.1"
    ln -s ../share/quenlaris-calendar/quenlaris-calendar "$link"
    HOME=$home "$link" --import-ics "$work/event.ics" >/dev/null || fail "$kind: the old import"

    HOME=$home cmake --install "$build" --prefix "$prefix" >/dev/null || fail "$kind: upgrade"
    [[ $(data_folder "$home" "$link") == "$expected" ]] || fail "$kind: another data folder"
    has_event "$home" "$link" || fail "$kind: the upgrade lost the event"
    [[ $(cat "$expected/music/play.wav") == 'my own sound' ]] || fail "$kind: the sound is lost"
    [[ ! -e $old/quenlaris-calendar-desktop && ! -e $old/help ]] || fail "$kind: old program left"
    [[ ! -e $prefix/share/man/man1/quenlaris-calendar.1 ]] || fail "$kind: old manual page left"
    [[ $kind == home || ! -e $old ]] || fail "$kind: data left behind in $old"
    HOME=$home cmake --install "$build" --prefix "$prefix" >/dev/null || fail "$kind: again"
    has_event "$home" "$link" || fail "$kind: installing again lost the event"
done
echo "installed read-only with data per user, and upgraded keeping the events"
