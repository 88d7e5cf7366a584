#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks what a user gets.
#   install_check.sh <build folder> <delivered user.mdb> <delivered setup.ini> <seed_events>
#                    <delivered play.wav>
set -euo pipefail
build=$1 database=$2 settings=$3 seed=$4 sound=$5

prefix=$(mktemp -d)
pid=
cleanup() {
    if [[ -n $pid ]]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$prefix"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "the first install"

folder=$prefix/share/quenlaris-calendar
[[ -x $folder/quenlaris-calendar ]] || fail "no executable in the program folder"
[[ -d $folder/music && -d $folder/help ]] || fail "no music/ or help/ in the program folder"
for page in index 1 501; do
    [[ -s $folder/help/$page.html ]] || fail "help/$page.html is not installed"
done
cmp -s "$database" "$folder/user.mdb" || fail "user.mdb is not the delivered one"
cmp -s "$settings" "$folder/setup.ini" || fail "setup.ini is not the delivered one"
cmp -s "$sound" "$folder/music/play.wav" || fail "music/play.wav is not the delivered one"
[[ -s $prefix/share/icons/hicolor/scalable/apps/quenlaris-calendar.svg ]] || fail "no icon"

link=$prefix/bin/quenlaris-calendar
[[ -L $link ]] || fail "$link is not a symbolic link"
[[ $(readlink -f "$link") == "$(readlink -f "$folder/quenlaris-calendar")" ]] ||
    fail "the link does not lead to the program folder's executable"

launcher=$prefix/share/applications/quenlaris-calendar.desktop
grep -qx '\[Desktop Entry\]' "$launcher" || fail "the launcher has no [Desktop Entry]"
grep -qxF "Exec=\"$link\"" "$launcher" || fail "the launcher does not start $link"
grep -qx 'Icon=quenlaris-calendar' "$launcher" || fail "the launcher names another icon"
grep -qx 'Type=Application' "$launcher" || fail "the launcher is no application"

# The user's events, layers, options and own alarm sound outlive another install.
"$seed" "$folder" >/dev/null
cmp -s "$database" "$folder/user.mdb" && fail "seeding did not change user.mdb"
cmp -s "$settings" "$folder/setup.ini" && fail "seeding did not change setup.ini"
printf 'RIFF-the-users-own-sound' >"$folder/music/play.wav"
mine=("$folder/user.mdb" "$folder/setup.ini" "$folder/music/play.wav")
before=$(cat "${mine[@]}" | sha256sum)
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "the second install"
[[ $(cat "${mine[@]}" | sha256sum) == "$before" ]] ||
    fail "the second install replaced user.mdb, setup.ini or music/play.wav"
[[ -L $link ]] || fail "the second install lost the link"

# The manual page, and the agenda through the link: it reads the seeded month, leaves the
# database as it was and needs no display.
[[ -s $prefix/share/man/man1/quenlaris-calendar.1 ]] || fail "no manual page"
# One version: the manual page names the one that --version prints.
version=$(env -u DISPLAY "$link" --version) || fail "--version ended with an error"
[[ $version == "quenlaris-calendar "* ]] || fail "--version printed '$version'"
grep -qF "\"Quenlaris Calendar ${version#quenlaris-calendar }\"" \
    "$prefix/share/man/man1/quenlaris-calendar.1" || fail "the manual page names another version than $version"
[[ -x $folder/quenlaris-calendar-desktop ]] || fail "no desktop program in the program folder"
agenda=$(env -u DISPLAY -u WAYLAND_DISPLAY "$link" --agenda --from "$(date +%Y-%m-01)" --days 31) ||
    fail "the agenda ended with an error"
grep -q '  Stand-up  \[Work\] ' <<<"$agenda" || fail "the agenda does not show the seeded events"
[[ $(cat "${mine[@]}" | sha256sum) == "$before" ]] || fail "the agenda changed the user's files"

# Started through the link, the program finds its folder: it holds the installed user.mdb
# open (without its database it would end at once).
cd /
"$link" >/dev/null 2>&1 &
pid=$!
found=
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || fail "the installed program ended early"
    for fd in /proc/"$pid"/fd/*; do
        if [[ $(readlink "$fd" 2>/dev/null) == "$(readlink -f "$folder/user.mdb")" ]]; then
            found=1
        fi
    done
    [[ -n $found ]] && break
    sleep 0.1
done
[[ -n $found ]] || fail "the installed program did not open $folder/user.mdb"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the installed program ended"
echo "installed, kept the user's files and started through $link"
