#!/bin/sh
# Prints, on one line, those of the Debian packages named as arguments that are not
# installed; nothing when all are. Shared by the tools that install what they need.
missing=""
for pkg in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $pkg" ;;
    esac
done
echo "$missing"
