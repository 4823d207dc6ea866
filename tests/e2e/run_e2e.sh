#!/usr/bin/env bash
# The end-to-end suite on the real program: run_e2e.sh BINARY [CASE_NAME_PART ...].
# Prints one line per case and ends with "N passed, M failed"; fails if any failed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The cases read the program's English texts, whatever the language of the session.
export LC_ALL=C.UTF-8
unset LANGUAGE
exec "$here/in_scratch.sh" "$here/e2e.py" "$@"
