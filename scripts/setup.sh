#!/usr/bin/env bash
# Installs what DADiz needs to build, run and test on Debian 12, only what is missing.
# Run as root (or through sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config   # build tools
  lld                                # links the build in about a quarter of the default linker's time
  qt6-base-dev                       # Qt 6 Widgets
  qt6-svg-dev libqt6svg6             # draws the SVG icons and flags into PNG at build time
  qt6-charts-dev libqt6charts6       # the trend window's plot
  libqt6opengl6-dev                  # Qt Charts' CMake files need it; its package does not pull it in
  fonts-liberation2                  # metric-compatible Arial for the pixel layout
  qt6-translations-l10n              # Qt's own dialogs in Catalan, Spanish and French
  libgtest-dev                       # unit tests
  libxcb1-dev                        # the start-up benchmark watches the X server for the mapped window
  locales                            # the test that runs under a French locale
  dpkg-dev file                      # the Debian package: dpkg-shlibdeps finds its dependencies
  desktop-file-utils appstream       # the package test checks the menu entry and AppStream data
  g++-mingw-w64-x86-64-posix         # the Windows build of the serial layer
  wine64                             # runs its tests
  libmosquitto-dev libmodbus-dev     # dadiz-bridge: MQTT and Modbus TCP
  mosquitto mosquitto-clients        # the bridge's tests: a real broker, mosquitto_sub and mosquitto_pub
  mbpoll                             # the bridge's tests: a Modbus TCP client
  openssl                            # the bridge's tests: a certificate authority for a TLS broker
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}; run this as root (sudo)." >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The French locale the locale test switches to.
if ! locale -a 2>/dev/null | grep -qi '^fr_FR\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
  else
    echo "setup: the fr_FR.UTF-8 locale is missing; run this as root (sudo)." >&2
    exit 1
  fi
fi
