#!/usr/bin/env bash
# Builds the Debian package from debian/ with debhelper, on a copy of the sources in
# OUT_DIR, so that nothing is written beside the source tree. The .deb (with its
# .buildinfo and .changes) lands in OUT_DIR; its path is the last line printed.
# usage: build-package.sh OUT_DIR   (JOBS= sets the build's parallel jobs)
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
copy=$out/morrowby
rm -rf "$copy" "$out"/morrowby_*
mkdir -p "$copy"
# The build folders, the output folder and git's own files stay behind.
excludes=(--exclude=./.git --exclude='./build*' --exclude=./out)
[[ "$out" == "$source"/* ]] && excludes+=(--exclude="./${out#"$source"/}")
tar -C "$source" "${excludes[@]}" -cf - . | tar -C "$copy" -xf -
(cd "$copy" && DEB_BUILD_OPTIONS="parallel=${JOBS:-$(nproc)} ${DEB_BUILD_OPTIONS:-}" \
   dpkg-buildpackage -us -uc -b)
rm -rf "$copy"
ls "$out"/morrowby_*.deb
