#!/usr/bin/env bash
# Builds everything, tests and benchmarks included, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/test -j "$(build_jobs)"
source scripts/small_disk.sh
mount_small_disks
ctest --test-dir build/test --output-on-failure -j "$(build_jobs)" --timeout 600
