#!/usr/bin/env bash
# Installs what is needed, builds the program folder and starts the program from it.
set -euo pipefail
cd "$(dirname "$0")/.."

"$(pwd)/scripts/install-deps.sh"
cmake -S . -B build -G Ninja -DQCAL_BUILD_TESTS=ON
cmake --build build -j2

exec build/program/quenlaris-calendar "$@"
