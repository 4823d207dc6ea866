#!/usr/bin/env bash
# Installs the program into a scratch root and checks what lands there: the program,
# the desktop entries (validated), the theme icons, the manual page and the
# documentation; then the autostart entry, and the Debian package's files and
# dependencies. usage: install_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/morrowby-install-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >"$scratch/out" 2>&1; then passed=$((passed + 1))
  else failed=$((failed + 1)); echo "FAILED: $what"; sed 's/^/    /' "$scratch/out"; fi
}

root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
for f in bin/morrowby share/applications/morrowby.desktop share/morrowby/morrowby-autostart.desktop \
         share/man/man1/morrowby.1 share/doc/morrowby/README.md share/doc/morrowby/LICENSE \
         share/icons/hicolor/32x32/apps/morrowby.png share/icons/hicolor/128x128/apps/morrowby.png \
         share/icons/hicolor/32x32/apps/morrowby-note.png \
         share/morrowby/morrowby-chime.service share/morrowby/morrowby-chime.timer; do
  check "installed $f" test -s "$root/usr/$f"
done
check "program is executable" test -x "$root/usr/bin/morrowby"
# With no display the installed program still starts its windows program (which finds
# nowhere to show the button); without it, it would say it cannot start it.
check "installed program finds its windows program" bash -c \
  "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='$scratch/cfg' SDL_AUDIODRIVER=dummy \
   '$root/usr/bin/morrowby' 2>&1 | grep -q 'no display'"
check "menu entry is valid" desktop-file-validate "$root/usr/share/applications/morrowby.desktop"
menu=$root/usr/share/applications/morrowby.desktop
check "menu entry opens Setup, with the actions Say the Time and Greet Me Now" bash -c \
  "grep -qx 'Name=Morrowby Setup' '$menu' && grep -qx 'Exec=morrowby --setup' '$menu' &&
   grep -qx 'Actions=say-time;greet;' '$menu' &&
   grep -A2 -x '\[Desktop Action say-time\]' '$menu' | grep -qx 'Exec=morrowby --say-time' &&
   grep -A2 -x '\[Desktop Action greet\]' '$menu' | grep -qx 'Exec=morrowby'"
check "autostart entry is valid" desktop-file-validate "$root/usr/share/morrowby/morrowby-autostart.desktop"
check "manual page has its sections" grep -q '^\.SH FILES' "$root/usr/share/man/man1/morrowby.1"
check "icons are 32x32 PNGs" bash -c "file '$root/usr/share/icons/hicolor/32x32/apps/morrowby.png' | grep -q '32 x 32'"

auto=$scratch/autostart
check "autostart installs an entry running the built program" bash -c \
  "'$source/tools/autostart.sh' install '$auto' /nonexistent/morrowby '$build/morrowby' &&
   grep -qx 'Exec=\"$build/morrowby\"' '$auto/morrowby.desktop' &&
   desktop-file-validate '$auto/morrowby.desktop'"
check "no-autostart removes it" bash -c "'$source/tools/autostart.sh' remove '$auto' && test ! -e '$auto/morrowby.desktop'"

# The chime, with no user manager to reach: the timer is enabled for the next log-in.
units=$scratch/units
no_manager=(env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$scratch/no-runtime")
check "chime installs a timer and a service running the installed program" bash -c \
  "${no_manager[*]} '$source/tools/chime.sh' install '$units' '$root/usr/bin/morrowby' '$build/morrowby' &&
   grep -qx 'ExecStart=$root/usr/bin/morrowby --say-time' '$units/morrowby-chime.service' &&
   grep -qx 'OnCalendar=hourly' '$units/morrowby-chime.timer' &&
   test '$units/timers.target.wants/morrowby-chime.timer' -ef '$units/morrowby-chime.timer'"
if command -v systemd-analyze >/dev/null; then
  # Documentation= names the manual page, which must be found.
  check "systemd-analyze verifies the chime's units" env MANPATH="$root/usr/share/man" \
    systemd-analyze verify "$units/morrowby-chime.service" "$units/morrowby-chime.timer"
fi
check "no-chime removes them" bash -c "${no_manager[*]} '$source/tools/chime.sh' remove '$units' &&
   test -z \"\$(ls -A '$units')\""

if command -v dpkg-shlibdeps >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null 2>&1)
  deb=$(ls "$scratch"/pkg/morrowby_*.deb 2>/dev/null | head -n 1)
  check "package was built" test -n "$deb"
  if [[ -n "$deb" ]]; then
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libwxgtk3.2 libsdl2 libsndfile1 libc6; do
      check "package depends on $lib" grep -q "$lib" <<<"$depends"
    done
    dpkg -x "$deb" "$scratch/deb"
    check "package holds the windows program, off PATH" bash -c "find '$scratch/deb/usr/lib' -name morrowby-windows -perm -u+x | grep -q . && test ! -e '$scratch/deb/usr/bin/morrowby-windows'"
    check "package holds the program and its entries" test -x "$scratch/deb/usr/bin/morrowby" \
      -a -s "$scratch/deb/usr/share/applications/morrowby.desktop"
  fi
fi
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
