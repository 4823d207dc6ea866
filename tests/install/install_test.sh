#!/usr/bin/env bash
# Installs the program into a scratch root and checks what lands there: the program,
# the desktop entries (validated), the theme icons, the manual page and the
# documentation, the AppStream metainfo; then the autostart entry, and the Debian
# package: built with debhelper, lintian-clean, holding every installed file, and
# enough to turn the greeting on and off. usage: install_test.sh BUILD_DIR
set -uo pipefail
# The checks read the program's English texts, whatever the language of the session.
export LC_ALL=C.UTF-8
unset LANGUAGE
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/morrowby-install-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
source "$source/tests/support/check.sh"

# What builds and checks the package (debhelper, lintian, appstreamcli), if missing.
"$source/tools/install-deps.sh" --package >/dev/null
root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
for f in bin/morrowby share/applications/org.morrowby.morrowby.desktop \
         share/man/man1/morrowby.1 share/doc/morrowby/README.md share/doc/morrowby/LICENSE \
         share/icons/hicolor/32x32/apps/morrowby.png share/icons/hicolor/128x128/apps/morrowby.png \
         share/icons/hicolor/32x32/apps/morrowby-note.png \
         lib/systemd/user/morrowby-chime.service lib/systemd/user/morrowby-chime.timer \
         share/locale/de/LC_MESSAGES/morrowby.mo share/locale/fr/LC_MESSAGES/morrowby.mo; do
  check "installed $f" test -s "$root/usr/$f"
done
check "program is executable" test -x "$root/usr/bin/morrowby"
# With no display the installed program still starts its windows program (which finds
# nowhere to show the button); without it, it would say it cannot start it.
check "installed program finds its windows program" bash -c \
  "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='$scratch/cfg' SDL_AUDIODRIVER=dummy \
   '$root/usr/bin/morrowby' 2>&1 | grep -q 'no display'"
# desktop-file-validate exits 0 on hints too (more than one main category, say).
validates_cleanly() { local said; said=$(desktop-file-validate "$1" 2>&1) && [[ -z $said ]] || { echo "$said"; false; }; }
menu=$root/usr/share/applications/org.morrowby.morrowby.desktop
check "menu entry is valid, with no hint" validates_cleanly "$menu"
check "menu entry opens Setup, with the actions Say the Time and Greet Me Now" bash -c \
  "grep -qx 'Name=Morrowby Setup' '$menu' && grep -qx 'Exec=morrowby --setup' '$menu' &&
   grep -qx 'Actions=say-time;greet;' '$menu' &&
   grep -A5 -x '\[Desktop Action say-time\]' '$menu' | grep -qx 'Exec=morrowby --say-time' &&
   grep -A5 -x '\[Desktop Action greet\]' '$menu' | grep -qx 'Exec=morrowby'"
check "menu entry and its actions are named in German and French" bash -c \
  "grep -qx 'Name\[de\]=Morrowby einrichten' '$menu' && grep -qx 'Name\[fr\]=Configurer Morrowby' '$menu' &&
   grep -A5 -x '\[Desktop Action say-time\]' '$menu' | grep -qx 'Name\[de\]=Uhrzeit ansagen'"
check "the installed chime runs the installed program by its full path" \
  grep -qx 'ExecStart=/usr/bin/morrowby --chime' "$root/usr/lib/systemd/user/morrowby-chime.service"
check "manual page has its sections" grep -q '^\.SH FILES' "$root/usr/share/man/man1/morrowby.1"
icons=$root/usr/share/icons/hicolor
for size in 16 22 24 32 48 64 128 256; do
  check "the ${size} px icon is a ${size}x${size} PNG" bash -c \
    "file '$icons/${size}x${size}/apps/morrowby.png' | grep -q 'PNG image data, $size x $size,'"
done
check "the scalable icon is an SVG" bash -c "file '$icons/scalable/apps/morrowby.svg' | grep -q 'SVG'"

# The greeting at log-in, switched by the program built here: run by its path, the
# entry names that path.
auto=$scratch/autostart-config
check "--autostart on writes an entry running the built program, with no hint" bash -c \
  "XDG_CONFIG_HOME='$auto' '$build/morrowby' --autostart on &&
   grep -qx 'Exec=\"$build/morrowby\"' '$auto/autostart/morrowby.desktop' &&
   $(declare -f validates_cleanly); validates_cleanly '$auto/autostart/morrowby.desktop'"
check "--autostart off removes it" bash -c \
  "XDG_CONFIG_HOME='$auto' '$build/morrowby' --autostart off && test -z \"\$(ls -A '$auto/autostart')\""

# The chime, with no user manager to reach: the timer is enabled for the next log-in.
units=$scratch/units
no_manager=(env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$scratch/no-runtime")
check "chime installs a timer and a service running the installed program" bash -c \
  "${no_manager[*]} '$source/tools/chime.sh' install '$units' '$root/usr/bin/morrowby' '$build/morrowby' &&
   grep -qx 'ExecStart=$root/usr/bin/morrowby --chime' '$units/morrowby-chime.service' &&
   grep -qx 'OnCalendar=hourly' '$units/morrowby-chime.timer' &&
   test '$units/timers.target.wants/morrowby-chime.timer' -ef '$units/morrowby-chime.timer'"
if command -v systemd-analyze >/dev/null; then
  # Documentation= names the manual page, which must be found.
  check "systemd-analyze verifies the chime's units" env MANPATH="$root/usr/share/man" \
    systemd-analyze verify "$units/morrowby-chime.service" "$units/morrowby-chime.timer"
fi
check "no-chime removes them" bash -c "${no_manager[*]} '$source/tools/chime.sh' remove '$units' &&
   test -z \"\$(ls -A '$units')\""

# The demo where no sound server answers (none to reach, no PipeWire in an empty
# runtime folder, no ALSA devices): the announcement goes to a WAV file beside the
# program, here a link to the one built.
mkdir -p "$scratch/demo" "$scratch/no-runtime"
ln -s "$build/morrowby" "$scratch/demo/morrowby"
check "the demo writes a WAV file when no sound server answers" bash -c \
  "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_AUDIODRIVER PULSE_SERVER=unix:$scratch/no-server \
     XDG_RUNTIME_DIR=$scratch/no-runtime ALSA_CONFIG_PATH=/dev/null \
     '$source/tools/demo.sh' '$scratch/demo/morrowby' &&
   file '$scratch/demo/morrowby-demo.wav' | grep -q 'WAVE audio'"

metainfo_launches_menu_entry() {
  local metainfo=("$root"/usr/share/metainfo/*.metainfo.xml) id launched
  appstreamcli validate --no-net --pedantic "${metainfo[@]}" || return 1
  id=$(sed -n 's|^  <id>\(.*\)</id>$|\1|p' "${metainfo[@]}")
  launched=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "${metainfo[@]}")
  echo "component $id, named ${metainfo[*]##*/}, launches $launched"
  test -n "$id" && test "${metainfo[*]##*/}" = "$id.metainfo.xml" &&
    test "$launched" = "$id.desktop" && test -s "$root/usr/share/applications/$launched"
}
check "AppStream metainfo validates and launches the menu entry, both named for its id" \
  metainfo_launches_menu_entry

# The Debian package, built the Debian way (debhelper), as a user would meet it.
deb=$("$source/tools/build-package.sh" "$scratch/pkg" 2>"$scratch/package.log" | tail -n 1)
check "package was built" bash -c "test -s '$deb' || { tail -n 30 '$scratch/package.log'; false; }"
if [[ -s "$deb" ]]; then
  deb_root=$scratch/deb
  dpkg -x "$deb" "$deb_root"
  check "lintian --pedantic finds nothing" lintian --pedantic --fail-on error,warning,info,pedantic "$deb"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libwxgtk3.2 libsdl2 libsndfile1 libc6; do
    check "package depends on $lib" grep -q "$lib" <<<"$depends"
  done
  # Whatever `cmake --install` lays out, by any name, is in the package (its
  # documentation and manual page compressed; the licence is in its copyright; the
  # library folder may gain the multiarch triplet).
  holds_every_installed_file() {
    local f missing=0
    while read -r f; do
      [[ -e "$deb_root/usr/$f" || -e "$deb_root/usr/$f.gz" ]] && continue
      [[ $f == lib/* ]] && find "$deb_root/usr/lib" -path "*/${f#lib/}" | grep -q . && continue
      echo "missing $f"
      missing=1
    done < <(cd "$root/usr" && find . -type f ! -name LICENSE -printf '%P\n')
    return $missing
  }
  check "package holds every installed file" holds_every_installed_file
  check "package holds the windows program, off PATH" bash -c "find '$deb_root/usr/lib' -name morrowby-windows -perm -u+x | grep -q . && test ! -e '$deb_root/usr/bin/morrowby-windows'"
  check "package's manual page is compressed" test -s "$deb_root/usr/share/man/man1/morrowby.1.gz"
  copyright=$deb_root/usr/share/doc/morrowby/copyright
  check "package's copyright is machine-readable and names the clips' licence" bash -c \
    "grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' '$copyright' &&
     sed -n '/^Files: resources\/clips\//,/^\$/p' '$copyright' | grep -qx 'License: LGPL-2.1+'"

  # The README's lines that turn the greeting and the chime on and off, with the
  # package's program found on PATH, as a package user has it.
  readme_line() { grep -m1 -E "^    $1( |$)" "$source/README.md" | sed 's/ *#.*//'; }
  package_user=(env -u XDG_CONFIG_HOME HOME="$scratch/home" PATH="$deb_root/usr/bin:$PATH")
  entry=$scratch/home/.config/autostart/morrowby.desktop
  on=$(readme_line 'morrowby --autostart on') off=$(readme_line 'morrowby --autostart off')
  check "the README's line turns the greeting on with the package's program" bash -c \
    "test -n '$on' && ${package_user[*]} $on && grep -qx 'Exec=morrowby' '$entry' &&
     $(declare -f validates_cleanly); validates_cleanly '$entry'"
  check "the README's line turns it off again" bash -c \
    "test -n '$off' && ${package_user[*]} $off && test ! -e '$entry'"
  # No user manager runs here, so systemctl is asked about the package's root: the
  # units are on the user manager's search path (unit-paths), and enable finds them.
  chime_on=$(readme_line 'systemctl --user enable --now morrowby-chime.timer')
  check "the README turns the chime on with systemctl --user" test -n "$chime_on"
  check "systemd's user search path holds the package's unit folder" bash -c \
    "systemd-analyze --user unit-paths | grep -qx /usr/lib/systemd/user &&
     test -s '$deb_root/usr/lib/systemd/user/morrowby-chime.timer'"
  check "systemctl lists the package's chime timer and can enable it" bash -c \
    "systemctl --global --root='$deb_root' list-unit-files morrowby-chime.timer | grep -q '^morrowby-chime.timer ' &&
     systemctl --global --root='$deb_root' enable morrowby-chime.timer &&
     test -L '$deb_root/etc/systemd/user/timers.target.wants/morrowby-chime.timer'"
  # debhelper enables a user unit for everyone on install unless told not to; then the
  # only enable left is the one that keeps a user's own choice across an upgrade.
  enables_only_where_enabled() {
    local script; script=$(dpkg-deb -I "$deb" postinst)
    (( $(grep -c -- "--user enable 'morrowby-chime.timer'" <<<"$script") <=
       $(grep -c -- "was-enabled 'morrowby-chime.timer'" <<<"$script") )) || { echo "$script"; false; }
  }
  check "the package turns the chime on for nobody by itself" enables_only_where_enabled
fi
finish
