#!/bin/sh
# How well whole announcements are understood: renders a spread of dates and
# times with `morrowby --say-time --output` under faketime and scores them with
# the PocketSphinx recogniser: each file decoded whole, and cut at its pauses
# as a listener hears it, on a grammar of any sequence of the clips' words
# and on one of the announcement's own form; each word clip heard alone too.
# Also measures how often a word starts well above the pitch the word before
# it ended on.  Not part of the test suite: it takes minutes and its figures are
# for people to judge the clips by.
#
#   tools/sentence_check.sh [LABEL=PROGRAM ...] [--keep DIR] [--pitch-only]
#
# With no LABEL=PROGRAM, checks build/morrowby.  Installs the Debian packages
# it needs (all in Debian's main section) if they are missing.
set -eu

here=$(cd "$(dirname "$0")" && pwd)

missing=$("$here/missing-packages.sh" pocketsphinx pocketsphinx-en-us faketime sox python3 python3-numpy)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

if [ -n "$missing" ]; then
    echo "sentence_check: installing:$missing"
    # Another install may hold apt's lock: wait for it rather than fail.
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 \
        install -y -qq --no-install-recommends $missing
fi

# Debian's own Python, which has the numpy installed above.
exec /usr/bin/python3 "$here/sentence_check.py" "$@"
