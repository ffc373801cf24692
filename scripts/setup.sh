#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its tools need. Does
# nothing when everything is there; otherwise refreshes the package lists once and
# installs the missing packages by name.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc qt6-qpa-plugins
  libsqlite3-dev sqlite3
  libxlsxwriter-dev
  libgtest-dev
  python3 python3-dbfread python3-openpyxl gdal-bin
  clang strace
  xvfb xauth xdotool xclip x11-apps imagemagick fonts-dejavu-core
  postgresql unixodbc odbc-postgresql tdsodbc
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
