#!/usr/bin/env bash
# Installs the Debian packages Lexivo needs to build, test and run.
# Runs as root, or through sudo for another user. Does nothing when all are there.
set -euo pipefail

# libgettextpo-dev reads and writes PO files; gettext brings msgfmt, which the
# tests use to check them.
packages=(g++ cmake ninja-build qt6-base-dev libbz2-dev libgettextpo-dev gettext)
if [ "${1:-}" = "--window" ]; then
    # A desktop session brings the windowing libraries; these make sure the
    # Qt platform plugin for X11 can start.
    packages+=(libxkbcommon-x11-0 libxcb-cursor0)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
