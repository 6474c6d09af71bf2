#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-sanitize (or $1) and runs the whole test suite there: the unit tests,
# and quillo-validate against the sanitized quillo.so.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-sanitize}
jobs=${JOBS:-$(nproc)}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLO_SANITIZE=ON \
    -DQUILLO_TESTS=ON -DQUILLO_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# Any report ends the process with an error; leaks count as errors.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$jobs"
