#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run,
# and the Chinese locale (zh_CN.UTF-8) the programs run under.
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
  tzdata   # the time-zone tests run under Europe/Berlin
  xdg-utils   # finds the desktop's program for an exported workbook
  locales
  pcscd libpcsclite-dev vsmartcard-vpcd
)
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A fresh Debian has C.UTF-8 only: generate zh_CN.UTF-8 so that weekday and
# month names, calendars and Qt's own texts read Chinese.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  if grep -q '^# *zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    $SUDO sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
