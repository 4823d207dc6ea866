#!/usr/bin/env bash
# Runs Morrowby once, as at log-in, on a demo configuration in a temporary folder, so
# the user's own settings are never touched. By default it speaks the date and time
# with every word on, in the 12-hour style; `demo.sh BINARY song` plays the sound
# theme's log-in sound instead. Where no sound server answers, the announcement is
# written to a WAV file beside the program instead, and the demo says where.
set -euo pipefail
binary=${1:-build/morrowby}
here=$(cd "$(dirname "$0")" && pwd)
config=$(mktemp -d /tmp/morrowby-demo-XXXXXX)
trap 'rm -rf "$config"' EXIT

mode=3
[[ "${2:-}" == song ]] && mode=0
python3 "$here/write_song_list.py" "$config/demo.dat" --mode "$mode" service-login
printf '[Morrowby]\nCurFile=%s\nDateLine=yyyyyyyyyyy\n' "$config/demo.dat" > "$config/TOLVERA.INI"

what="the chime and the date and time"
[[ $mode == 0 ]] && what="the log-in sound"
echo "Morrowby demo: $what, then the Setup button shows for two seconds"
echo "in the top-left corner of the screen (settings in $config)."
# Its complaints are shown as they come, and kept to see whether a sound server answered.
status=0
{ XDG_CONFIG_HOME="$config" "$binary" 2>&1 >&3 | tee "$config/stderr" >&2; } 3>&1 || status=$?
echo "Morrowby ended with status $status."

# The program's line: "morrowby: no sound server answered within 10 s (...)".
if grep -q 'no sound server' "$config/stderr"; then
  wav="$(cd "$(dirname "$binary")" && pwd)/morrowby-demo.wav"
  XDG_CONFIG_HOME="$config" "$binary" --say-time --output "$wav"
  echo "No sound server answered here, so the announcement went to a file instead:"
  echo "  $wav"
  echo "Play it where there is sound, for instance with: paplay $wav"
fi
