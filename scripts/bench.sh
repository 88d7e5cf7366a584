#!/usr/bin/env bash
# Builds and runs the benchmarks (Release build in build-bench/).
set -euo pipefail
cd "$(dirname "$0")/.."
"$(pwd)/scripts/install-deps.sh"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQCAL_BUILD_TESTS=OFF -DQCAL_BUILD_BENCH=ON
cmake --build build-bench -j2
for b in build-bench/bench/bench_*; do
    if [ -f "$b" ] && [ -x "$b" ]; then
        "$b" "$@"
    fi
done
