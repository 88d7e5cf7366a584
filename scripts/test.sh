#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

"$(pwd)/scripts/install-deps.sh"

build_dir=build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
    build_dir=build-asan
    extra=(-DQCAL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
fi

# QCAL_WERROR=ON in the environment (as continuous integration sets it) fails the build on a warning.
cmake -S . -B "$build_dir" -G Ninja -DQCAL_BUILD_TESTS=ON -DQCAL_WERROR="${QCAL_WERROR:-OFF}" "${extra[@]}"
cmake --build "$build_dir" -j2
ctest --test-dir "$build_dir" --output-on-failure -j2
