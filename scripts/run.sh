#!/usr/bin/env bash
# Builds the application and its command-line programs, then starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUNO_TESTS=OFF -DZUNO_BENCH=OFF
cmake --build build/release -j "$(build_jobs)"
exec ./build/release/app/zuno-fwd "$@"
