#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the virtual desktop need.
# Safe to run again: apt-get only adds what is missing.
# With --gnome, also GNOME Shell for the GNOME session tests that are run by
# hand (scripts/with-gnome-desktop.sh): 140 packages, 346 MB, kept out of CI.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config dpkg-dev
  # core libraries
  nlohmann-json3-dev libicu-dev libssl-dev libpng-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3
  # fuzzing (libFuzzer comes with clang's runtime libraries)
  clang libclang-rt-14-dev
  # the Linux platform: accessibility, capture, recognition
  libatspi2.0-dev at-spi2-core libglib2.0-dev libx11-dev libx11-xcb-dev libxext-dev libxres-dev
  libtesseract-dev libleptonica-dev tesseract-ocr tesseract-ocr-eng libxxhash-dev
  tesseract-ocr-script-latn tesseract-ocr-deu tesseract-ocr-fra tesseract-ocr-spa tesseract-ocr-ita tesseract-ocr-por
  # the virtual desktop and the sample applications
  xvfb xauth dbus dbus-x11 openbox libgtk-3-dev x11-utils
  # real applications and a pyatspi client for the integration tests and benchmarks
  gtk-3-examples tk python3-pyatspi
  # a Qt 5 application, scaled on its own in the tests of scaled desktops, on
  # X11 and as a Wayland client
  featherpad qtwayland5
  # applications of other toolkits for the compatibility tests, a small GTK 3
  # one whose menu bar lies deep in its window, a GTK 4 one with a popover, and
  # a Qt 5 one with a spin box in a tool bar, and a GTK 3 one whose pages
  # WebKitGTK hangs into its window from another process
  chromium gtk-4-examples firefox-esr qt6ct galculator gnome-calculator qpdfview yelp
  # a spreadsheet of a million rows for the huge-table tests and benchmark
  # (about 150 MB; its GTK 3 plugin puts it on the accessibility bus)
  libreoffice-calc libreoffice-gtk3
  # Wayland sessions: the client library, and a headless sway session for the
  # tests (Xwayland and xhost to let the tests' X clients in, a virtual
  # keyboard, grim to compare captures with)
  libwayland-dev sway xwayland x11-xserver-utils wtype grim
  # GNOME's screen cast hands frames over PipeWire
  libpipewire-0.3-dev
)
if [ "${1:-}" = "--gnome" ]; then
  # the session's PipeWire daemon and the session manager that links the
  # helper's stream to mutter's screen cast
  packages+=(gnome-shell python3-gi pipewire wireplumber)
fi

# Node.js and npm for the test-only MCP client (scripts/install-test-clients.sh),
# unless the machine has them already from elsewhere.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
