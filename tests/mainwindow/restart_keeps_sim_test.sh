#!/usr/bin/env bash
# start.sh --sim and the automatic restart: the simulated instrument started with the
# program serves the instance that takes the program's place after serial failures,
# and start.sh stops it only when the program really ends.
#   restart_keeps_sim_test.sh SOURCE_DIR QUENLAR QUENLAR_SIM
set -euo pipefail
src="$1" quenlar="$2" sim="$3"
tmp=$(mktemp -d)
home="$tmp/q"
start_pid="" sim_pid="" program_pid=""
# Only what this test started: start.sh's children by their ids, and a program that
# runs on this test's program folder (one that a restart left behind start.sh's back).
cleanup() {
  local p
  for p in $program_pid $sim_pid; do kill -TERM "$p" 2>/dev/null || true; done
  if [ -n "$start_pid" ]; then wait "$start_pid" 2>/dev/null || true; fi
  for p in /proc/[0-9]*; do
    if tr '\0' '\n' < "$p/environ" 2>/dev/null | grep -qx "QUENLAR_HOME=$home"; then
      kill -TERM "${p#/proc/}" 2>/dev/null || true
    fi
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "---- start.sh's output:" >&2
  cat "$tmp/log" >&2 || true
  exit 1
}
# Waits up to $1 seconds for the shell test $2 to hold; fails saying $3.
wait_for() {
  for _ in $(seq 1 $(($1 * 10))); do
    if eval "$2"; then return 0; fi
    sleep 0.1
  done
  fail "$3 (after $1 s)"
}
ended() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null || true)
  [ -z "$state" ] || [[ $state == Z* ]]
}
run_folders() { find "$home/p00001" -mindepth 1 -maxdepth 1 -type d -name '2*' | wc -l; }
child_named() { ps -o pid=,comm= --ppid "$start_pid" | awk -v c="$1" '$2 == c { print $1 }'; }

# A build folder as start.sh takes one: its program starts an unattended run, its
# simulator answers every channel poll with a bad parity bit, so each run fails at
# once and the program restarts itself, again and again.
mkdir -p "$tmp/build/tools/instrument-sim"
printf '#!/bin/sh\nexec "%s" /run\n' "$quenlar" > "$tmp/build/quenlar"
printf '#!/bin/sh\nexec "%s" "$@" --fault parity\n' "$sim" > "$tmp/build/tools/instrument-sim/quenlar-sim"
chmod +x "$tmp/build/quenlar" "$tmp/build/tools/instrument-sim/quenlar-sim"

# Project 1 on a 96-well plate.
source "$src/scripts/program-folder.sh"
quenlar_prepare_home "$home"
mkdir -p "$home/p00001"
crlf() { printf '%s\r\n' "$@"; }
crlf '"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>"' '1,1,4,0' \
  > "$home/config.dat"
crlf '"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>"' \
  "1,\"Restart\",\"$home/p00001/\",\"w96\"" \
  '"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>"' '1,30,99,500,1,30' \
  '"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>"' '1,300,80,1,1,0' \
  '"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>"' '1,0,0,0,0,0' \
  '"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,"' '0,0,0,0,0,0' \
  '"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,"' '0,9,21,0,0,0' \
  '"Mn3: <v1:Enable>, <v2:Tempx10>,,,,"' '0,200,0,0,0,0' \
  '"Mn4: ,,,,,"' '0,0,0,0,0,0' '"Mn5: ,,,,,"' '0,0,0,0,0,0' '"Mn6: ,,,,,"' '0,0,0,0,0,0' \
  > "$home/p00001/setup.dat"

DISPLAY="${DISPLAY:-:quenlar-test}" QT_QPA_PLATFORM=offscreen QUENLAR_HOME="$home" \
  QUENLAR_BUILD_DIR="$tmp/build" bash "$src/scripts/start.sh" --sim > "$tmp/log" 2>&1 &
start_pid=$!

wait_for 60 '[ -n "$(ls "$home"/p00001/2*/subproj.dat 2>/dev/null)" ]' "the first run did not start"
sim_pid=$(child_named quenlar-sim)
program_pid=$(child_named quenlar)
[ -n "$sim_pid" ] && [ -n "$program_pid" ] || fail "start.sh's children are not the simulator and the program"

# A run folder made after this one is gone was made by an instance that restarted and
# found the instrument again: only a connected instance starts a run.
rm -rf "$home"/p00001/2*
wait_for 60 '[ "$(run_folders)" -ge 1 ]' "no new instance started a run with the simulator"
kill -0 "$program_pid" 2>/dev/null || fail "the restarted program is not the process start.sh waits for"
kill -0 "$sim_pid" 2>/dev/null || fail "the simulator was stopped with the instance before"
[ -e "$home/ports/COM4" ] || fail "ports/COM4 was removed"
ended "$start_pid" && fail "start.sh ended while the program runs"

# The program's end still ends the simulator and takes its ports folder away.
kill -TERM "$program_pid"
wait_for 20 'ended "$start_pid"' "start.sh did not end with the program"
program_pid="" start_pid=""
kill -0 "$sim_pid" 2>/dev/null && fail "the simulator outlived the program"
sim_pid=""
[ ! -e "$home/ports" ] || fail "the ports folder start.sh made is still there"
echo "restart keeps the simulator: OK"
