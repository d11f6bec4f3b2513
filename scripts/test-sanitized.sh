#!/usr/bin/env bash
# Builds the libraries without a user interface and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${CORE_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZUNO_SANITIZE=ON -DZUNO_BENCH=OFF -DZUNO_GUI=OFF -DZUNO_PYTHON=OFF
cmake --build build/sanitize -j "$(build_jobs)"
# Freed memory the sanitizer holds back to catch late use counts in a program's resident size,
# which a test of zuno-sim bounds: a smaller hold than the default 256 MB keeps that bound.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=32 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
source scripts/small_disk.sh
mount_small_disks
ctest --test-dir build/sanitize --output-on-failure -j "$(build_jobs)" --timeout 900
