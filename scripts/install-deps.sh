#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Returns at once when all of them are already there.
set -euo pipefail
pkgs=(
  build-essential cmake pkg-config git
  qt6-base-dev libqt6sql6-sqlite qt6-base-dev-tools
  libqt6gui6   # jpeg and gif readers for employee photos
  libsqlite3-dev sqlite3
  libxlsxwriter-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei
  qt6-translations-l10n
  xvfb xauth imagemagick
  libxtst-dev   # real key strokes on a virtual display in the key tests
  unzip
  pcscd libpcsclite-dev vsmartcard-vpcd
)
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
