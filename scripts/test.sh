#!/usr/bin/env bash
# Builds everything, tests and benchmarks included, runs every test, then installs the build into
# a temporary prefix and checks what was installed (scripts/check-install.sh). The build is
# configured for /usr, where the Debian package made from it installs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build/test -j "$(build_jobs)"
source scripts/small_disk.sh
mount_small_disks
ctest --test-dir build/test --output-on-failure -j "$(build_jobs)" --timeout 600
bash scripts/check-install.sh build/test
