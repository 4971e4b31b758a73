#!/usr/bin/env bash
# The program's main job against the simulated instrument: installs what is missing,
# builds, prepares a program folder (config.dat, the plate layouts, project p00001
# with a short lapse), starts quenlar-sim on COM4 and runs `quenlar /run`. The program
# connects, records an unattended run and ends it at its lapse. Without a display it
# runs on Qt's offscreen platform and exits by itself; then this script prints where
# the run folder is, what it holds, and the first lines of the report the program
# wrote there by itself at the end of the run (the demo's repoconf.dat turns the
# user-defined report settings on).
#
#   QUENLAR_DEMO_MINUTES   the run's lapse in minutes (default 2)
#   QUENLAR_DEMO_HOME      the program folder to prepare (default build/demo-home)
#   QUENLAR_DEMO_BUILD_DIR an existing build to use instead of installing and building
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

minutes="${QUENLAR_DEMO_MINUTES:-2}"
source "$root/scripts/program-folder.sh"
quenlar_find_build "${QUENLAR_DEMO_BUILD_DIR:-}"
for f in "$quenlar" "$sim"; do
  [ -x "$f" ] || { echo "demo: $f was not built" >&2; exit 1; }
done

# ---- The program folder ----
home="${QUENLAR_DEMO_HOME:-$dir/demo-home}"
rm -rf "$home"
quenlar_prepare_home "$home"
mkdir -p "$home/p00001"
crlf() { printf '%s\r\n' "$@"; }
# The unattended run records into the open project: project 1, the highest made so far.
crlf '"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>"' \
     '1,1,4,0' > "$home/config.dat"
# Project 1 on a 96-well plate: C. elegans, no calibration at start, raw data saved.
crlf '"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>"' \
     "1,\"Demo\",\"$home/p00001/\",\"w96\"" \
     '"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>"' \
     "1,$minutes,99,500,1,30" \
     '"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>"' \
     '1,300,80,1,1,1' \
     '"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>"' \
     '1,0,0,0,0,0' \
     '"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,"' '0,0,0,0,0,0' \
     '"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,"' '0,9,21,0,0,0' \
     '"Mn3: <v1:Enable>, <v2:Tempx10>,,,,"' '0,200,0,0,0,0' \
     '"Mn4: ,,,,,"' '0,0,0,0,0,0' '"Mn5: ,,,,,"' '0,0,0,0,0,0' '"Mn6: ,,,,,"' '0,0,0,0,0,0' \
     > "$home/p00001/setup.dat"

# User-defined report settings: the end of the run writes its report by itself.
# Bin 5 minutes (a shorter run gets one bin of its length), CSV with ",", Std Error
# and N columns, layout "Rows", raw export off.
crlf '"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, <organism>, <method>, <threshold>, <rawexport>"' \
     '1,5,0,",",1,0,1,0,0,1,18,0' > "$home/repoconf.dat"

# ---- The simulated instrument on COM4 ----
quenlar_sim_pid=""
cleanup() {
  [ -n "$quenlar_sim_pid" ] || return 0
  kill "$quenlar_sim_pid" 2>/dev/null || true
  wait "$quenlar_sim_pid" 2>/dev/null || true
}
trap cleanup EXIT
quenlar_start_sim "$sim" "$home" || { echo "demo: the simulator did not start" >&2; exit 1; }

# ---- The unattended run ----
export QUENLAR_HOME="$home"
echo "demo: the new project has no channel files yet: the program says so and takes its defaults."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
  echo "demo: no display: running headless; a $minutes-minute run (about $((minutes + 1)) minutes)..."
  status=0
  timeout --signal=TERM $((minutes * 60 + 300)) "$quenlar" /run || status=$?
else
  echo "demo: the run ends by itself after $minutes minutes; close the window afterwards."
  status=0
  "$quenlar" /run || status=$?
fi

# ---- What was recorded ----
run=$(find "$home/p00001" -mindepth 1 -maxdepth 1 -type d -name '2*_*' | sort | tail -n 1)
if [ -z "$run" ] || [ ! -f "$run/counts.bin" ]; then
  echo "demo: no run was recorded (quenlar exit status $status)" >&2
  exit 1
fi
records=$(( $(stat -c %s "$run/counts.bin") / 774 ))
echo
echo "Run folder: $run"
ls -l "$run"
echo "counts.bin holds $records records (one per bin of 500 samples)."
report=$(find "$run" -maxdepth 1 -type f -name 'report*.csv' | sort | head -n 1)
if [ -z "$report" ]; then
  echo "demo: the run has no report (quenlar exit status $status)" >&2
  exit 1
fi
echo
echo "Report: $report (with a copy named after the run beside it)"
head -n 12 "$report" | tr -d '\r'
exit "$status"
