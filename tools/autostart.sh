#!/usr/bin/env bash
# Adds or removes the autostart entry that runs Morrowby at every log-in.
# usage: autostart.sh install DIR INSTALLED_BINARY BUILT_BINARY | remove DIR
set -euo pipefail
action=$1 dir=$2
entry="$dir/morrowby.desktop"
here=$(cd "$(dirname "$0")/.." && pwd)
case "$action" in
  install)
    # The installed program when there is one, else the one just built.
    binary=$3
    [[ -x "$binary" ]] || binary=$4
    if [[ "$binary" == *[\"\$\`\\\&\|]* ]]; then
      echo "autostart: the path $binary holds characters a desktop entry cannot carry" >&2
      exit 1
    fi
    mkdir -p "$dir"
    sed "s|^Exec=.*|Exec=\"${binary//|/\\|}\"|" "$here/data/morrowby-autostart.desktop" > "$entry.tmp"
    mv "$entry.tmp" "$entry"
    echo "Morrowby will run at every log-in: $entry runs $binary"
    ;;
  remove)
    rm -f "$entry"
    echo "Morrowby no longer runs at log-in."
    ;;
  *) echo "usage: $0 install DIR INSTALLED BUILT | remove DIR" >&2; exit 2 ;;
esac
