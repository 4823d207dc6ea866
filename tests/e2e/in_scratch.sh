#!/usr/bin/env bash
# Runs a Python driver (the end-to-end suite or the benchmark) with a fresh scratch
# folder: `in_scratch.sh DRIVER.py ARGS...` becomes `python3 DRIVER.py --root SCRATCH
# ARGS...`. The driver starts its X and sound servers there and lists every process it
# starts in SCRATCH/pids; however this script ends, those are ended and the folder goes.
set -euo pipefail
script=${1:?usage: in_scratch.sh DRIVER.py ARGS...}
shift

scratch=$(mktemp -d /tmp/mbe2e-XXXXXX)
driver=
cleanup() {
  if [[ -n "$driver" ]]; then kill "$driver" 2>/dev/null || true; wait "$driver" 2>/dev/null || true; fi
  if [[ -f "$scratch/pids" ]]; then
    while read -r pid; do kill "$pid" 2>/dev/null || true; done < "$scratch/pids"
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

# In the background, so that a signal reaches the trap while the driver runs.
python3 -B "$script" --root "$scratch" "$@" &
driver=$!
status=0
wait "$driver" || status=$?
driver=
exit "$status"
