#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12. Safe to run again.
set -euo pipefail
pkgs=(build-essential cmake ninja-build qt6-base-dev libgl-dev fonts-dejavu-core
      libgtest-dev libgmock-dev libbenchmark-dev libxlsxwriter-dev
      python3 python3-openpyxl python3-pandas unzip xvfb xauth xdg-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
