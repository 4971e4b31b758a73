#!/usr/bin/env bash
# The program folder that start.sh and demo.sh prepare: the default config.dat and the
# plate layout files, each written only where missing, and the program starting in it.
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

# What the program or the user changed stays.
for f in config.dat w96.dat; do echo changed > "$home/q/$f"; done
quenlar_prepare_home "$home/q"
for f in config.dat w96.dat; do [ "$(cat "$home/q/$f")" = changed ] || fail "$f was overwritten"; done
echo "program folder: OK"
