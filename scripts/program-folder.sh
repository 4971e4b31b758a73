# Sourced by demo.sh and start.sh: the programs to start, and a program folder that
# quenlar can start from.
#
#   quenlar_find_build [BUILD_DIR]
#
# Sets dir, quenlar and sim to BUILD_DIR and its programs when one is given; otherwise
# installs what is missing and builds, and takes them from that build.
quenlar_find_build() {
  local root
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  if [ -n "${1:-}" ]; then
    dir="$1"
  else
    bash "$root/scripts/install-deps.sh"
    dir=$(bash "$root/scripts/build.sh" | tail -n 1)
  fi
  case "$dir" in /*) ;; *) dir="$root/$dir" ;; esac
  quenlar="$dir/quenlar"
  sim="$dir/tools/instrument-sim/quenlar-sim"
}

#
#   quenlar_prepare_home FOLDER
#
# Creates FOLDER and gives it the plate layout files of data/ and a config.dat (the
# Default project open, no project made yet, so "New" makes p00001; the instrument on
# COM4; no restart time), each only where it is missing: what the program or the user
# changed since is kept. Run at every start, so a folder prepared by an older version
# gets the layout files added to data/ since.

quenlar_prepare_home() {
  local home="$1" src f
  src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/data"
  mkdir -p "$home"
  for f in "$src"/*.dat; do
    [ -e "$home/$(basename "$f")" ] || cp "$f" "$home/"
  done
  if [ ! -e "$home/config.dat" ]; then
    printf '%s\r\n' '"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>"' \
      '0,0,4,0' > "$home/config.dat"
  fi
}

#   quenlar_start_sim SIM FOLDER
#
# Starts the simulated instrument SIM in the background on COM4 of FOLDER and waits
# (up to 10 s) for its link FOLDER/ports/COM4; sets quenlar_sim_pid. Fails when the
# link does not come.
quenlar_start_sim() {
  local sim="$1" home="$2"
  "$sim" --home "$home" --com 4 &
  quenlar_sim_pid=$!
  for _ in $(seq 1 100); do
    [ -e "$home/ports/COM4" ] && return 0
    sleep 0.1
  done
  return 1
}
