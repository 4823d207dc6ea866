#!/bin/sh
# Render Morrowby's built-in clips (resources/clips/601.wav .. 682.wav) and
# docs/clips.md with RHVoice.  Installs the Debian packages it needs if they
# are missing.  Extra arguments go to make_clips.py (--out DIR, --doc FILE,
# --announcements DIR).
#
# RHVoice lives in Debian's contrib and non-free sections, which this machine
# does not enable.  When it has to be installed, those sections are switched
# on through a temporary apt sources file for the install only; the file is
# removed and the package lists refreshed again before the clips are made,
# whether the install worked or not.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
extra=/etc/apt/sources.list.d/morrowby-clips-contrib.sources
debian=/etc/apt/sources.list.d/debian.sources

missing=$("$here/missing-packages.sh" rhvoice rhvoice-english sox python3)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

drop_extra() {
    if [ -e "$extra" ]; then
        echo "make_clips: switching contrib and non-free off again"
        $sudo rm -f "$extra"
        $sudo apt-get update -qq || true
    fi
}

if [ -n "$missing" ]; then
    echo "make_clips: installing:$missing"
    case "$missing" in
    *rhvoice*)
        # The same mirror as the main section, so nothing new is trusted.
        uri=$(sed -n 's/^URIs:[[:space:]]*//p' "$debian" 2>/dev/null | head -n 1)
        [ -n "$uri" ] || uri=http://deb.debian.org/debian
        echo "make_clips: RHVoice is in Debian's contrib and non-free sections," \
             "which this machine does not enable;"
        echo "make_clips: enabling them from $uri for this install only" \
             "($extra)"
        trap drop_extra EXIT
        trap 'exit 1' INT TERM HUP
        printf '%s\n' \
            "Types: deb" \
            "URIs: $uri" \
            "Suites: bookworm" \
            "Components: contrib non-free non-free-firmware" \
            "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
            $sudo tee "$extra" >/dev/null
        ;;
    esac
    # Another install may hold apt's lock: wait for it rather than fail.
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 \
        install -y -qq --no-install-recommends $missing
    drop_extra
    trap - EXIT INT TERM HUP
fi

exec python3 "$here/make_clips.py" "$@"
