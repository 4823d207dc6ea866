#!/usr/bin/env bash
# The greeting program's whole runs under ThreadSanitizer (its one thread and SDL's
# audio thread): a serial-mode song with its save, the announcement, Setup at once,
# and a song stopped with SIGTERM. The sound goes to SDL's disk driver; with no
# display the windows program ends at once. Any report fails. usage: SCRIPT PROGRAM
set -uo pipefail
program=$1
clip=$(cd "$(dirname "$0")/../.." && pwd)/resources/clips/601.wav
scratch=$(mktemp -d /tmp/morrowby-tsan-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failed=0
run() {  # run NAME MODE [ARGS...]: one run on a list of one song in MODE
  local name=$1 mode=$2; shift 2
  local cfg=$scratch/$name
  mkdir -p "$cfg"
  local song=$clip
  if [[ $name == stopped ]]; then
    song=$scratch/long.wav
    sox -n -r 22050 -c 1 -b 16 "$song" synth 10 sine 440
  fi
  python3 - "$cfg/songs.dat" "$song" "$mode" <<'PY'
import struct, sys
image = bytearray(818)
song = sys.argv[2].encode()
image[:len(song)] = song
struct.pack_into('<hhhH', image, 810, 1, 0, int(sys.argv[3]), 0)
open(sys.argv[1], 'wb').write(image)
PY
  printf '[Morrowby]\nCurFile=%s\nDateLine=yyyyyyyyyyy\n' "$cfg/songs.dat" >"$cfg/TOLVERA.INI"
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$cfg" SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE="$cfg/sound.raw" TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
    "$program" "$@" 2>"$cfg/stderr" &
  local pid=$!
  if [[ $name == stopped ]]; then sleep 0.3; kill -TERM $pid; fi
  wait $pid
  local status=$?
  if [[ $status -ne 0 ]] || grep -q ThreadSanitizer "$cfg/stderr"; then
    failed=1
    echo "FAILED: $name (status $status)"
    sed 's/^/    /' "$cfg/stderr"
  fi
}
run serial 1
run announce 3
run setup 0 --setup
run stopped 1
[[ $failed -eq 0 ]] && echo "greeting whole runs: no ThreadSanitizer report"
exit $failed
