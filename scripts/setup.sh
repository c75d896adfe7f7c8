#!/usr/bin/env bash
# Installs the Debian packages Lekto needs to build, run and test, when any is missing; packages named as arguments
# too (scripts/package.sh adds the package checker). desktop-file-utils and appstream validate the desktop entry
# and the metainfo in the tests, epubcheck the EPUB books; qt6-tools-dev and qt6-l10n-tools bring Qt's translation
# tools (lupdate, lrelease and their CMake support) that build the window's English translation.
set -euo pipefail
packages=(build-essential cmake pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools libcurl4-openssl-dev libpcre2-dev
  libgtest-dev libbenchmark-dev libgumbo-dev libuchardet-dev libzip-dev fonts-noto-cjk python3 openssl curl xvfb xauth
  clang-format desktop-file-utils appstream epubcheck "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
