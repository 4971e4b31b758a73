#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. QUENLAR_SANITIZE=1 runs the
# same tests built with the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
dir=$(bash scripts/build.sh | tail -n 1)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
cd "$dir"
ctest --output-on-failure -j "$(nproc)"
