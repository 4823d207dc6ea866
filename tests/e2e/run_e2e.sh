#!/usr/bin/env bash
# The end-to-end suite on the real program: run_e2e.sh BINARY [CASE_NAME_PART ...].
# Prints one line per case and ends with "N passed, M failed"; fails if any failed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/in_scratch.sh" "$here/e2e.py" "$@"
