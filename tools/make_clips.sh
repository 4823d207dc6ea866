#!/bin/sh
# Render Morrowby's built-in clips (resources/clips/601.wav .. 682.wav) and
# docs/clips.md.  Installs the Debian packages it needs if they are missing.
# Extra arguments go to make_clips.py (--out DIR, --doc FILE).
set -eu

here=$(cd "$(dirname "$0")" && pwd)

missing=""
for pkg in festival festvox-us-slt-hts sox python3; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $pkg" ;;
    esac
done

if [ -n "$missing" ]; then
    echo "installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then
        apt-get install -y $missing
    else
        sudo apt-get install -y $missing
    fi
fi

exec python3 "$here/make_clips.py" "$@"
