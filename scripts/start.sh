#!/usr/bin/env bash
# Starts the program with its windows: installs what is missing, builds, prepares the
# program folder and runs quenlar in it. The program folder is $QUENLAR_HOME when set,
# otherwise ~/quenlar; it gets a default config.dat and the plate layout files where
# they are missing, and keeps everything between starts (projects, runs, reports).
#
#   bash scripts/start.sh          the program, for an instrument on COM4 (or the port
#                                  it finds; see the README on ports/COMn links)
#   bash scripts/start.sh --sim    the same with the simulated instrument on COM4,
#                                  stopped when the program ends
#
#   QUENLAR_BUILD_DIR  an existing build to use instead of installing and building
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

with_sim=0
for arg in "$@"; do
  case "$arg" in
    --sim) with_sim=1 ;;
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "start: unknown option $arg (try --help)" >&2; exit 2 ;;
  esac
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "start: no display to show the windows on (for a run without one: bash scripts/demo.sh)" >&2
  exit 1
fi

source "$root/scripts/program-folder.sh"
quenlar_find_build "${QUENLAR_BUILD_DIR:-}"
[ -x "$quenlar" ] || { echo "start: $quenlar was not built" >&2; exit 1; }

home="${QUENLAR_HOME:-$HOME/quenlar}"
quenlar_prepare_home "$home"
export QUENLAR_HOME="$home"
echo "start: program folder $home"

quenlar_sim_pid=""
made_ports=0
stop_sim() {
  [ -n "$quenlar_sim_pid" ] || return 0
  kill "$quenlar_sim_pid" 2>/dev/null || true
  wait "$quenlar_sim_pid" 2>/dev/null || true
  # A ports/ folder makes only its links count: one left empty would hide the real ports.
  if [ "$made_ports" = 1 ]; then rmdir "$home/ports" 2>/dev/null || true; fi
}
trap stop_sim EXIT

if [ "$with_sim" = 1 ]; then
  [ -x "$sim" ] || { echo "start: $sim was not built" >&2; exit 1; }
  link="$home/ports/COM4"
  if [ -L "$link" ]; then
    case "$(readlink "$link")" in
      /dev/pts/*) rm -f "$link" ;;  # left by a simulator that was stopped short
      *)
        echo "start: $link leads to $(readlink "$link"); --sim would take its place" >&2
        exit 1
        ;;
    esac
  fi
  [ -d "$home/ports" ] || made_ports=1
  quenlar_start_sim "$sim" "$home" || { echo "start: the simulator did not start" >&2; exit 1; }
  echo "start: the simulated instrument serves COM4"
fi

status=0
"$quenlar" || status=$?
exit "$status"
