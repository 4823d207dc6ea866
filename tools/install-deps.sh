#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Morrowby need, but
# only those that are missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  libwxgtk3.2-dev libsdl2-dev libsndfile1-dev
  libgtk-3-dev libgtest-dev xvfb xauth x11-utils pulseaudio pulseaudio-utils faketime xdotool imagemagick
  libgtk-layer-shell-dev libwayland-dev sway foot wtype grim weston
  openbox xfwm4 mutter i3-wm icewm xwayland xterm dbus-daemon libglib2.0-bin dconf-gsettings-backend pipewire pipewire-bin wireplumber pipewire-pulse
  fonts-liberation sound-theme-freedesktop python3 sox desktop-file-utils dpkg-dev file
)
case "${1:-}" in
  --fuzz) packages+=(clang libclang-rt-14-dev) ;;
  --bench) packages+=(gnome-session-canberra libcanberra-gtk3-module strace) ;;
  # The Debian package: debhelper builds it, lintian and appstreamcli check it.
  --package) packages+=(debhelper lintian appstream) ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
