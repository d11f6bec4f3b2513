#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each once over every input of its committed
# corpus; any crash, hang, leak or sanitizer report fails. A longer search for new inputs:
#   build/fuzz/fuzz/parameter_file_fuzz -jobs=1 -max_total_time=1800 -timeout=10 -max_len=32768 \
#       NEW_CORPUS_DIR fuzz/corpus/parameter_file
#   build/fuzz/fuzz/sim_session_fuzz -jobs=1 -max_total_time=1800 -timeout=10 -max_len=131072 \
#       NEW_CORPUS_DIR fuzz/corpus/sim_session
#   build/fuzz/fuzz/sim_vxi11_fuzz -jobs=1 -max_total_time=1800 -timeout=10 -max_len=65536 \
#       NEW_CORPUS_DIR fuzz/corpus/sim_vxi11
#   build/fuzz/fuzz/capture_file_fuzz -jobs=1 -max_total_time=1800 -timeout=10 -max_len=65536 \
#       NEW_CORPUS_DIR fuzz/corpus/capture_file
#   build/fuzz/fuzz/settings_text_fuzz -jobs=1 -max_total_time=1800 -timeout=10 -max_len=32768 \
#       NEW_CORPUS_DIR fuzz/corpus/settings_text
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${CORE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZUNO_FUZZ=ON -DZUNO_GUI=OFF -DZUNO_PYTHON=OFF -DZUNO_TESTS=OFF -DZUNO_BENCH=OFF
cmake --build build/fuzz -j "$(build_jobs)" --target parameter_file_fuzz sim_session_fuzz sim_vxi11_fuzz \
      capture_file_fuzz settings_text_fuzz
build/fuzz/fuzz/parameter_file_fuzz -runs=0 -timeout=10 fuzz/corpus/parameter_file
build/fuzz/fuzz/sim_session_fuzz -runs=0 -timeout=10 fuzz/corpus/sim_session
build/fuzz/fuzz/sim_vxi11_fuzz -runs=0 -timeout=10 fuzz/corpus/sim_vxi11
build/fuzz/fuzz/capture_file_fuzz -runs=0 -timeout=10 fuzz/corpus/capture_file
build/fuzz/fuzz/settings_text_fuzz -runs=0 -timeout=10 fuzz/corpus/settings_text
