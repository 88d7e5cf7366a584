#!/usr/bin/env bash
# Builds the Debian package and checks it: the files it holds, all under /usr; its dependencies
# from the shared libraries; lintian without errors; the AppStream and desktop entry
# validators on the installed files; and the package extracted into a temporary root running
# the agenda with a temporary home folder. The package is left in <build folder>/package/.
#   scripts/package.sh [build folder]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

"$(pwd)/scripts/install-deps.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DQCAL_BUILD_TESTS=OFF
cmake --build "$build" -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$(pwd)/package" >"$work/cpack.log") ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=("$build"/package/quenlaris-calendar_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $build/package"
deb=${debs[0]}
echo "package: $deb"

# Every file under /usr, and the files a user needs among them.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
grep -v -e '^\./$' -e '^\./usr/' "$work/files" && fail "files outside /usr"
for f in usr/bin/quenlaris-calendar \
         usr/lib/quenlaris-calendar/quenlaris-calendar \
         usr/lib/quenlaris-calendar/quenlaris-calendar-desktop \
         usr/lib/quenlaris-calendar/help/index.html \
         usr/lib/quenlaris-calendar/delivered/user.mdb \
         usr/lib/quenlaris-calendar/delivered/setup.ini \
         usr/lib/quenlaris-calendar/delivered/music/play.wav \
         usr/share/applications/quenlaris-calendar.desktop \
         usr/share/icons/hicolor/scalable/apps/quenlaris-calendar.svg \
         usr/share/metainfo/org.example.quenlaris_calendar.metainfo.xml \
         usr/share/man/man1/quenlaris-calendar.1.gz \
         usr/share/doc/quenlaris-calendar/copyright; do
    grep -qxF "./$f" "$work/files" || fail "the package lacks /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libsqlite3-0 libzip4 libical3 libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

lintian --fail-on error "$deb" || fail "lintian reports errors"

root=$work/root
dpkg-deb -x "$deb" "$root"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.quenlaris_calendar.metainfo.xml" ||
    fail "appstreamcli"
desktop-file-validate "$root/usr/share/applications/quenlaris-calendar.desktop" ||
    fail "desktop-file-validate"
grep -qx 'Exec="/usr/bin/quenlaris-calendar"' "$root/usr/share/applications/quenlaris-calendar.desktop" ||
    fail "the launcher does not start /usr/bin/quenlaris-calendar"

# The extracted package runs with a new user's home folder: the data folder is made there.
mkdir "$work/home"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$work/home" \
    "$root/usr/bin/quenlaris-calendar" --agenda) || fail "--agenda of the extracted package"
[ -z "$out" ] || fail "a new user's agenda is not empty: $out"
[ -f "$work/home/.local/share/quenlaris-calendar/user.mdb" ] ||
    fail "no data folder in the home folder"
echo "package checked: files under /usr, Depends: $depends"
