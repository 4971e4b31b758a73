#!/usr/bin/env bash
# Configures and builds into $BUILD_DIR (default build/). QUENLAR_SANITIZE=1 builds
# with AddressSanitizer and UndefinedBehaviorSanitizer into build-sanitize/.
set -euo pipefail
cd "$(dirname "$0")/.."
san="${QUENLAR_SANITIZE:-0}"
if [ "$san" = "1" ]; then
  dir="${BUILD_DIR:-build-sanitize}"
  extra=(-DQUENLAR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DQUENLAR_BENCH=OFF)
else
  dir="${BUILD_DIR:-build}"
  extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S . -B "$dir" -G Ninja "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
