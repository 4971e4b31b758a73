#!/usr/bin/env bash
# The program folder that start.sh and demo.sh prepare at every start: the default
# config.dat and the plate layout files, each written only where missing, and the
# program starting in it.
#   program_folder_test.sh SOURCE_DIR QUENLAR
set -euo pipefail
src="$1" quenlar="$2" home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$src/scripts/program-folder.sh"

quenlar_prepare_home "$home/q"
printf '"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>"\r\n0,0,4,0\r\n' |
  cmp -s - "$home/q/config.dat" || fail "config.dat is not the default one"
for f in "$src"/data/*.dat; do cmp -s "$f" "$home/q/${f##*/}" || fail "${f##*/} was not copied"; done

# The program gets past its configuration check and stays up (at its start window).
status=0
QUENLAR_HOME="$home/q" QT_QPA_PLATFORM=offscreen timeout -s TERM 5 "$quenlar" 2> "$home/err" ||
  status=$?
if grep -q "Config file not found" "$home/err"; then fail "the program did not find config.dat"; fi
[ "$status" = 124 ] || { cat "$home/err" >&2; fail "the program ended by itself ($status)"; }

# What the program or the user changed stays; a layout file added to data/ since the
# folder was prepared (one of a built-in plate, say) comes at the next preparation.
for f in config.dat w96.dat; do echo changed > "$home/q/$f"; done
rm "$home/q/w96f.dat" "$home/q/w384.dat"
quenlar_prepare_home "$home/q"
for f in config.dat w96.dat; do [ "$(cat "$home/q/$f")" = changed ] || fail "$f was overwritten"; done
for f in w96f.dat w384.dat; do cmp -s "$src/data/$f" "$home/q/$f" || fail "$f did not come"; done
echo "program folder: OK"
