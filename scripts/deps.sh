#!/usr/bin/env bash
# Installs the Debian packages Korl builds and runs with, when any is missing.
set -euo pipefail
PKGS=(cmake g++ make ninja-build pkg-config gdb
      qt6-base-dev libqscintilla2-qt6-dev libgl-dev
      libsystemc-dev libgtest-dev libgmock-dev libbenchmark-dev
      xvfb xauth clang-format
      desktop-file-utils shared-mime-info libxml2-utils groff-base
      clang libclang-rt-14-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "korl: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
