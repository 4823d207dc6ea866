#!/usr/bin/env bash
# Runs Morrowby once, as at log-in, on a demo configuration in a temporary folder, so
# the user's own settings are never touched. The demo list plays the sound theme's
# log-in sound.
set -euo pipefail
binary=${1:-build/morrowby}
here=$(cd "$(dirname "$0")" && pwd)
config=$(mktemp -d /tmp/morrowby-demo-XXXXXX)
trap 'rm -rf "$config"' EXIT

python3 "$here/write_song_list.py" "$config/demo.dat" --mode 0 service-login
printf '[Morrowby]\nCurFile=%s\nDateLine=yyyyyyyyyyy\n' "$config/demo.dat" > "$config/TOLVERA.INI"

echo "Morrowby demo: playing the log-in sound, then the Setup button shows for two seconds"
echo "in the top-left corner of the screen (settings in $config)."
XDG_CONFIG_HOME="$config" "$binary"
echo "Morrowby ended with status $?."
