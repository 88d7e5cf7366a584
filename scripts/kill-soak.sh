#!/usr/bin/env bash
# Kills every write path many more times than the test suite does: builds the kill test and
# runs it with KILLS kills per path (default 500). A failure prints the path, the kill, the
# delay and the seed; QCAL_KILL_SEED=<seed> repeats that run.
#
#   bash scripts/kill-soak.sh [KILLS] [path...]      e.g. bash scripts/kill-soak.sh 2000 restore
set -euo pipefail
cd "$(dirname "$0")/.."
kills="${1:-500}"
shift || true
cmake -S . -B build -G Ninja -DQCAL_BUILD_TESTS=ON >/dev/null
cmake --build build -j2 --target test_killsafety
functions=()
for path in "$@"; do
    functions+=("killedAtRandomMoments:$path")
done
QCAL_KILLS="$kills" build/tests/store/test_killsafety "${functions[@]}"
