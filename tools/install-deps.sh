#!/usr/bin/env bash
# Installs the Debian packages that one use of the source tree needs, but only those
# that are missing. Uses sudo when not run as root.
# usage: install-deps.sh [--demo | --test | --bench | --package | --fuzz] [--list]
#   --demo     building and running the demo (`make demo`): no test tools
#   --test     the demo's, and what the tests run (`make test`; the default)
#   --bench    the tests', and the players the benchmark compares with (`make bench`)
#   --package  the demo's, and what builds and checks the Debian package
#   --fuzz     the demo's, and clang's libFuzzer
#   --list     print the chosen set, one package a line, and install nothing
set -euo pipefail

# Building, and the demo: it plays through the desktop's own sound server.
demo=(
  build-essential cmake pkg-config ccache
  libwxgtk3.2-dev libsdl2-dev libsndfile1-dev libglib2.0-dev
  libgtk-3-dev libgtk-layer-shell-dev libwayland-dev
  fonts-liberation sound-theme-freedesktop python3
  gettext appstream wx3.2-i18n
)
# The tests: servers of their own (X, Wayland, sound, D-Bus), the window managers and
# compositors of the window cases, the tools that drive and record them, and the
# accessibility bus through which they read the windows as a screen reader does.
test=(
  libgtest-dev xvfb xauth x11-utils pulseaudio pulseaudio-utils faketime xdotool imagemagick
  sway foot wtype grim weston
  openbox xfwm4 mutter i3-wm icewm xwayland xterm dbus-daemon libglib2.0-bin dconf-gsettings-backend pipewire pipewire-bin wireplumber pipewire-pulse
  at-spi2-core python3-pyatspi kwin-x11 python3-xlib python3-gi gir1.2-glib-2.0
  sox desktop-file-utils dpkg-dev file locales
)
bench=(gnome-session-canberra libcanberra-gtk3-module strace)
package=(debhelper lintian appstream)
fuzz=(clang libclang-rt-14-dev)

set_name=test list=false
for arg in "$@"; do
  case "$arg" in
    --demo | --test | --bench | --package | --fuzz) set_name=${arg#--} ;;
    --list) list=true ;;
    *) echo "usage: $0 [--demo | --test | --bench | --package | --fuzz] [--list]" >&2; exit 2 ;;
  esac
done
packages=("${demo[@]}")
case "$set_name" in
  test) packages+=("${test[@]}") ;;
  bench) packages+=("${test[@]}" "${bench[@]}") ;;
  package) packages+=("${package[@]}") ;;
  fuzz) packages+=("${fuzz[@]}") ;;
esac
if $list; then printf '%s\n' "${packages[@]}"; exit 0; fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The languages the windows are tested and pictured in (po/): their locales, made
# only when missing.
[[ $set_name == test || $set_name == bench ]] || exit 0
for locale in de_DE fr_FR; do
  locale -a 2>/dev/null | grep -qix "$locale.utf-\?8" && continue
  echo "Making the locale $locale.UTF-8"
  "${sudo[@]}" localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
done
