#!/usr/bin/env bash
# Takes the README's pictures (docs/main-window.png, docs/spectrum.png) from the application on
# Qt's offscreen platform, on the smallest screen it is used on, through the window test that
# checks them. Usage: scripts/screenshots.sh [BUILD_FOLDER]   (default build/test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
cmake --build "$build" --target gui_tests
export QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/data/offscreen_1024x700.json"
ZUNO_SCREENSHOT_DIR="$PWD/docs" "$build/tests/gui_tests" --gtest_filter='Screenshots.*'
ls -l docs/main-window.png docs/spectrum.png
