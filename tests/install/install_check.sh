#!/usr/bin/env bash
# Installs the built program into temporary prefixes with temporary home folders and checks
# what a user gets: the layout, a read-only install that keeps each user's data in the home
# folder, and the upgrade over an install of the layout from before, which keeps the events.
#   install_check.sh <build folder> <delivered user.mdb> <delivered setup.ini> <delivered play.wav>
set -euo pipefail
build=$1 database=$2 settings=$3 sound=$4

work=$(mktemp -d)
pid=
cleanup() {
    if [[ -n $pid ]]; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
unset XDG_DATA_HOME DISPLAY WAYLAND_DISPLAY

cat >"$work/event.ics" <<'ICS'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//install test//EN
BEGIN:VEVENT
UID:install-check-1
DTSTART:20261210T100000
DTEND:20261210T110000
SUMMARY:Kept event
END:VEVENT
END:VCALENDAR
ICS
# Runs the installed command with a home folder: run <home> <command> <args...>
run() {
    local home=$1
    shift
    HOME=$home "$@"
}
has_event() {
    local out
    out=$(run "$1" "$2" --agenda --from 2026-12-10 --days 1 --all-layers) || return 1
    grep -q '^2026-12-10 10:00  Kept event  ' <<<"$out"
}
data_folder_of() {
    run "$1" "$2" --help | sed -n 's/^Data folder in use: //p'
}

# The layout.
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "the install"
folder=$prefix/lib/quenlaris-calendar
link=$prefix/bin/quenlaris-calendar
[[ -x $folder/quenlaris-calendar && -x $folder/quenlaris-calendar-desktop ]] ||
    fail "no executables in the program folder"
for page in index 1 501; do
    [[ -s $folder/help/$page.html ]] || fail "help/$page.html is not installed"
done
cmp -s "$database" "$folder/delivered/user.mdb" || fail "no delivered user.mdb"
cmp -s "$settings" "$folder/delivered/setup.ini" || fail "no delivered setup.ini"
cmp -s "$sound" "$folder/delivered/music/play.wav" || fail "no delivered music/play.wav"
[[ ! -e $folder/user.mdb && ! -e $prefix/share/quenlaris-calendar ]] ||
    fail "the install holds user data of its own"
[[ -L $link && $(readlink -f "$link") == "$(readlink -f "$folder/quenlaris-calendar")" ]] ||
    fail "$link does not lead to the launcher"
launcher=$prefix/share/applications/quenlaris-calendar.desktop
grep -qxF "Exec=\"$link\"" "$launcher" || fail "the launcher does not start $link"
[[ -s $prefix/share/icons/hicolor/scalable/apps/quenlaris-calendar.svg ]] || fail "no icon"
[[ -s $prefix/share/man/man1/quenlaris-calendar.1.gz ]] || fail "no manual page"
[[ -s $prefix/share/metainfo/org.example.quenlaris_calendar.metainfo.xml ]] || fail "no metainfo"

# Read-only, as a package installs it: each user's data is made in the user's home folder and
# the install stays as it was.
chmod -R a-w "$prefix"
before=$(cd "$prefix" && find . -type f -exec sha256sum {} + | sort)
for user in ann bob; do
    home=$work/home-$user
    mkdir -p "$home"
    data=$home/.local/share/quenlaris-calendar
    [[ $(data_folder_of "$home" "$link") == "$data" ]] || fail "--help names another data folder"
    if [[ $user == ann ]]; then
        run "$home" "$link" --import-ics "$work/event.ics" >/dev/null || fail "$user: the import"
        has_event "$home" "$link" || fail "$user: the event is not kept"
    else
        ! has_event "$home" "$link" || fail "$user sees another user's event"
    fi
    cmp -s "$sound" "$data/music/play.wav" || fail "$user: no alarm sound in the data folder"
done
[[ $(cd "$prefix" && find . -type f -exec sha256sum {} + | sort) == "$before" ]] ||
    fail "running the program changed the install"

# The desktop program, started through the link, opens the user's database and ends cleanly
# when asked to.
home=$work/home-ann
(cd / && HOME=$home QT_QPA_PLATFORM=offscreen exec "$link" >/dev/null 2>&1) &
pid=$!
found=
for _ in $(seq 1 150); do
    kill -0 "$pid" 2>/dev/null || fail "the desktop program ended early"
    for fd in /proc/"$pid"/fd/*; do
        [[ $(readlink "$fd" 2>/dev/null) == "$home/.local/share/quenlaris-calendar/user.mdb" ]] &&
            found=1
    done
    [[ -n $found ]] && break
    sleep 0.1
done
[[ -n $found ]] || fail "the desktop program did not open the user's user.mdb"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[[ $status == 0 ]] || fail "the desktop program ended with $status on SIGTERM"

# The upgrade over the layout from before, where the program folder
# <prefix>/share/quenlaris-calendar held the executables beside the user's data: once as the
# per-user install in ~/.local, whose program folder is the new data folder, once elsewhere.
for kind in home elsewhere; do
    home=$work/upgrade-$kind
    mkdir -p "$home"
    if [[ $kind == home ]]; then
        prefix=$home/.local
        expected=$home/.local/share/quenlaris-calendar
    else
        prefix=$work/opt-$kind
        expected=$prefix/lib/quenlaris-calendar
    fi
    old=$prefix/share/quenlaris-calendar
    mkdir -p "$old/music" "$old/help" "$prefix/bin"
    cp "$build/program/quenlaris-calendar" "$build/program/quenlaris-calendar-desktop" "$old/"
    cp "$build/program/help/"*.html "$old/help/"
    install -m 644 "$database" "$old/user.mdb"
    install -m 644 "$settings" "$old/setup.ini"
    printf 'RIFF-the-users-own-sound' >"$old/music/play.wav"
    ln -s ../share/quenlaris-calendar/quenlaris-calendar "$prefix/bin/quenlaris-calendar"
    install -D -m 644 "$(dirname "$0")/../../app/quenlaris-calendar.1" \
        "$prefix/share/man/man1/quenlaris-calendar.1"
    link=$prefix/bin/quenlaris-calendar
    run "$home" "$link" --import-ics "$work/event.ics" >/dev/null || fail "$kind: the old import"
    has_event "$home" "$link" || fail "$kind: the old layout does not keep the event"

    HOME=$home cmake --install "$build" --prefix "$prefix" >/dev/null || fail "$kind: the upgrade"
    [[ $(data_folder_of "$home" "$link") == "$expected" ]] ||
        fail "$kind: the upgraded program uses $(data_folder_of "$home" "$link")"
    has_event "$home" "$link" || fail "$kind: the upgrade lost the event"
    [[ $(cat "$expected/music/play.wav") == RIFF-the-users-own-sound ]] ||
        fail "$kind: the upgrade lost the user's sound"
    [[ ! -e $prefix/share/man/man1/quenlaris-calendar.1 ]] ||
        fail "$kind: the former manual page hides the new one"
    for name in quenlaris-calendar quenlaris-calendar-desktop help; do
        [[ ! -e $old/$name ]] || fail "$kind: the former $old/$name is left behind"
    done
    if [[ $kind == elsewhere ]]; then
        [[ ! -e $old ]] || fail "$kind: data is left behind in $old"
    fi
    # Installing again keeps everything.
    HOME=$home cmake --install "$build" --prefix "$prefix" >/dev/null || fail "$kind: reinstall"
    has_event "$home" "$link" || fail "$kind: installing again lost the event"
done
echo "installed read-only with data per user, and upgraded keeping the events"
