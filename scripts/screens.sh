#!/usr/bin/env bash
# Draws every window of the program in its main states (start window, main window
# before connecting, a run in each view, paused, its end, each other window) into PNG
# files, on Qt's offscreen platform with a screen of 1600x1000 and of 1024x720, and
# prints the folder they are in. The simulated instrument runs inside the drawing
# program; nothing needs a display. Look at the images before calling a window done.
#
#   bash scripts/screens.sh                   every state at both sizes
#   bash scripts/screens.sh --only run-bars   only the states named (comma-separated)
#   bash scripts/screens.sh --list            the states
#
#   BUILD_DIR               the build to use (default build/, configured when missing)
#   QUENLAR_SCREENS_DIR     where the images go (default <build>/screens, emptied first)
#   QUENLAR_SCREENS_SIZES   screen sizes (default "1600x1000 1024x720")
#   QUENLAR_JOBS            parallel build jobs (default 3)
# New windows and states: tools/screens/states.cpp says how to add one.
set -euo pipefail
cd "$(dirname "$0")/.."

dir="${BUILD_DIR:-build}"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j "${QUENLAR_JOBS:-3}" --target quenlar-screens >&2
tool="$dir/tools/screens/quenlar-screens"

for arg in "$@"; do
  if [ "$arg" = "--list" ]; then exec "$tool" --list; fi
done

out="${QUENLAR_SCREENS_DIR:-$dir/screens}"
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
status=0
for size in ${QUENLAR_SCREENS_SIZES:-1600x1000 1024x720}; do
  log="$out/$size.log"
  if ! "$tool" --out "$out" --size "$size" "$@" >/dev/null 2>"$log"; then
    echo "screens: drawing at $size failed; the end of $log:" >&2
    tail -n 20 "$log" >&2
    status=1
  fi
done
echo "$out"
exit "$status"
