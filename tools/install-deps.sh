#!/bin/bash
# Installs, from Debian's archive, everything the builds and the tests need.
# Idempotent: installs only what is missing. Run as root (or with sudo available).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  # builds
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # the Wine and Xvfb harness
  wine wine64 xvfb x11-utils x11-apps imagemagick xdotool python3
  # tools/format.sh
  clang-format
  # peers the tests run against
  ffmpeg libavcodec-dev python3-aiosmtpd lighttpd curl libsqlite3-dev
  # the player's drop test: its XDND helper is built against Xlib
  libx11-dev
  # the exported pages in a real browser, and the export benchmark's peer
  chromium buku
  # the reports' printing tests: a CUPS scheduler with a PDF printer, and the PDF read back
  cups printer-driver-cups-pdf poppler-utils
  # the clipboard tests: another X client that puts texts on the harness display's clipboard
  xclip
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
