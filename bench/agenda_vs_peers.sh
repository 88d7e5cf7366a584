#!/usr/bin/env bash
# Times a 30-day agenda over 10,000 events of every rule kind as whole processes, side by side
# with Remind and calcurse reading the same events in their own formats.
#   bench/agenda_vs_peers.sh [build folder] [first day YYYY-MM-DD]
# The build folder (default build-bench, made here as a Release build when missing) must hold
# program/quenlaris-calendar and bench/agenda_events. Installs remind, calcurse and hyperfine
# when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
first=${2:-2026-12-01}
count=${QCAL_AGENDA_EVENTS:-10000}

missing=()
for tool in remind calcurse hyperfine; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if ((${#missing[@]})); then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ ! -x "$build/program/quenlaris-calendar" ] || [ ! -x "$build/bench/agenda_events" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQCAL_BUILD_TESTS=OFF -DQCAL_BUILD_BENCH=ON
    cmake --build "$build" -j2 --target quenlaris-calendar-front agenda_events
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=$work/program
mkdir -p "$folder" "$work/calcurse"
# The command-line front alone: the agenda never starts the desktop program.
cp "$build/program/quenlaris-calendar" "$folder/"
cp "$build/delivered/user.mdb" "$folder/user.mdb"
"$build/bench/agenda_events" "$folder" "$work/events.rem" "$work/calcurse/apts" "$first" "$count"
touch "$work/calcurse/todo"

us_date=$(date -d "$first" +%m/%d/%Y)
ours=("$folder/quenlaris-calendar" --agenda --from "$first" --days 30 --all-layers)
remind_cmd=(remind -s "$work/events.rem" "$first")
calcurse_cmd=(calcurse -C "$work/calcurse" -D "$work/calcurse" -Q --from "$us_date" --days 30)

echo "Lines printed: ours $("${ours[@]}" | wc -l), remind $("${remind_cmd[@]}" | wc -l)," \
    "calcurse $("${calcurse_cmd[@]}" | wc -l)"

# -N: no shell in between, so each figure is the program alone, start to exit.
hyperfine -N --warmup 3 --runs "${QCAL_BENCH_RUNS:-30}" --export-json "$work/times.json" \
    -n quenlaris-calendar "${ours[*]}" \
    -n "remind -s" "${remind_cmd[*]}" \
    -n "calcurse -Q --days 30" "${calcurse_cmd[*]}"

python3 - "$work/times.json" <<'PY'
import json, sys
results = {r["command"]: r["mean"] * 1000 for r in json.load(open(sys.argv[1]))["results"]}
ours = results["quenlaris-calendar"]
for name, ms in results.items():
    print(f"{name:24} {ms:8.1f} ms   {ms / ours:6.2f} x ours")
print(f"ours / remind = {ours / results['remind -s']:.3f}   (goal 0.05 or less)")
PY
