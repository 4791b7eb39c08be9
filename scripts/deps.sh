#!/usr/bin/env bash
# Installs the Debian packages a build needs, once. Usage: deps.sh run|test
set -euo pipefail

run_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libx11-dev libxtst-dev
          libxi-dev libxkbcommon-dev libdbus-1-dev at-spi2-core dbus dbus-x11
          libwayland-dev libwayland-bin qt6-wayland plasma-wayland-protocols)
test_pkgs=("${run_pkgs[@]}" libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
           g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
           wine wine64 xvfb xauth openbox xdotool x11-utils x11-xserver-utils x11-xkb-utils zenity trayer
           python3 imagemagick dpkg-dev file lintian appstream desktop-file-utils)
# The Wayland tests' compositor (sway, with swaybar as the tray host), the
# typing tool the Wayland figures compare with, and GTK 3 for their probe.
test_pkgs+=(sway wtype gir1.2-gtk-3.0)
# KDE Plasma's compositor for the same tests, and a Qt 5 dialog program
# with Qt's Wayland platform.
test_pkgs+=(kwin-wayland kdialog qtwayland5)
# GTK 4 target of the accessibility tests (a Python script).
test_pkgs+=(python3-gi gir1.2-gtk-4.0)
# GNOME's compositor for the Wayland tests of the accessibility bus's way,
# and the D-Bus binding of its harness's helpers.
test_pkgs+=(mutter python3-dbus)
# GNOME's keys: the desktop portal that asks the user first (GNOME's
# backend of it); headless mutter's remote desktop serves without it.
test_pkgs+=(xdg-desktop-portal xdg-desktop-portal-gnome)

package_pkgs=("${run_pkgs[@]}" g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
              dpkg-dev file lintian appstream desktop-file-utils)

case "${1:-test}" in
    run) pkgs=("${run_pkgs[@]}") ;;
    package) pkgs=("${package_pkgs[@]}") ;;
    *) pkgs=("${test_pkgs[@]}") ;;
esac

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
