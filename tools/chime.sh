#!/usr/bin/env bash
# Adds or removes the hourly chime: a systemd user timer and service that run
# `morrowby --chime` on the hour (the time, unless Do Not Disturb is on).
# usage: chime.sh install DIR INSTALLED_BINARY BUILT_BINARY | remove DIR
# DIR is the user's systemd unit folder (~/.config/systemd/user).
set -euo pipefail
action=$1 dir=$2
here=$(cd "$(dirname "$0")/.." && pwd)
service=morrowby-chime.service timer=morrowby-chime.timer
wants="$dir/timers.target.wants"

# True when this session's systemd user manager answers.
manager_reachable() { systemctl --user show-environment >/dev/null 2>&1; }

case "$action" in
  install)
    # The installed program when there is one, else the one just built.
    binary=$3
    [[ -x "$binary" ]] || binary=$4
    if [[ "$binary" != /* || "$binary" == *[[:space:]\"\'\\\$\%\;]* ]]; then
      echo "chime: the path $binary cannot go into a systemd unit as it is" >&2
      exit 1
    fi
    mkdir -p "$dir"
    sed "s|^ExecStart=morrowby |ExecStart=${binary//|/\\|} |" "$here/data/$service" > "$dir/$service.tmp"
    mv "$dir/$service.tmp" "$dir/$service"
    cp "$here/data/$timer" "$dir/$timer.tmp"
    mv "$dir/$timer.tmp" "$dir/$timer"
    echo "Installed $dir/$timer and $dir/$service (running $binary --chime)."
    if manager_reachable; then
      systemctl --user daemon-reload
      systemctl --user enable --now "$timer"
      echo "Morrowby will speak the time on the hour. Next: systemctl --user list-timers $timer"
    else
      # What `systemctl --user enable` would do, so the timer starts at the next log-in.
      mkdir -p "$wants"
      ln -sfn "../$timer" "$wants/$timer"
      echo "No systemd user manager can be reached from here (no session bus), so the chime"
      echo "is enabled but not started: it starts at your next log-in, or now with"
      echo "  systemctl --user daemon-reload && systemctl --user start $timer"
    fi
    ;;
  remove)
    if manager_reachable; then
      systemctl --user disable --now "$timer" >/dev/null 2>&1 || true
    fi
    rm -f "$wants/$timer" "$dir/$timer" "$dir/$service"
    rmdir "$wants" 2>/dev/null || true
    if manager_reachable; then systemctl --user daemon-reload; fi
    echo "Morrowby no longer speaks the time on the hour."
    ;;
  *) echo "usage: $0 install DIR INSTALLED BUILT | remove DIR" >&2; exit 2 ;;
esac
