#!/usr/bin/env bash
# What tools/install-deps.sh would install for each use of a fresh clone: the demo
# installs no test tool (no window manager, compositor, X or sound server), the test
# set holds the demo's, the benchmark's the tests', and the demo's build configures
# without GoogleTest. usage: install_deps_test.sh
set -uo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/morrowby-deps-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
source "$source/tests/support/check.sh"
for set in demo test bench package fuzz; do
  "$source/tools/install-deps.sh" --$set --list | sort >"$scratch/$set"
done

# The window managers and compositors of the window cases, their servers and drivers,
# and the accessibility bus they read the windows through.
test_only=(sway weston mutter i3-wm icewm openbox xfwm4 kwin-x11 xwayland xterm foot wtype grim
           xvfb xdotool pulseaudio pipewire wireplumber pipewire-pulse dbus-daemon libgtest-dev
           at-spi2-core python3-pyatspi)
check "the demo installs no test tool" bash -c \
  "grep -xF -f <(printf '%s\n' ${test_only[*]}) '$scratch/demo' | sed 's/^/picked: /'; test \${PIPESTATUS[0]} -eq 1"
check "the tests install every window manager of the window cases" bash -c \
  "for p in ${test_only[*]}; do grep -qx \$p '$scratch/test' || { echo missing \$p; exit 1; }; done"
includes() { comm -23 "$scratch/$1" "$scratch/$2" | sed 's/^/not in '"$2"': /'; test -z "$(comm -23 "$scratch/$1" "$scratch/$2")"; }
check "the tests' set holds the demo's" includes demo test
check "the benchmark's set holds the tests'" includes test bench
check "the package's and the fuzzers' sets hold the demo's" bash -c \
  "$(declare -f includes); scratch='$scratch'; includes demo package && includes demo fuzz"
check "make demo installs the demo's set alone" bash -c \
  "make -n -C '$source' BUILD='$scratch/b' demo | grep 'install-deps' | tee /dev/stderr | grep -qx 'tools/install-deps.sh --demo'"
check "the demo's build configures without GoogleTest" \
  cmake -S "$source" -B "$scratch/b" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
finish
