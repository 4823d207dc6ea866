#!/usr/bin/env bash
# Benchmark figures for the real program: bench.sh BINARY [--runs N]. Starts its own X
# server and PulseAudio null sink (as the end-to-end suite does) and prints one table;
# how the times are measured is told at the top of bench.py.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../tests/e2e/in_scratch.sh" "$here/bench.py" "$@"
