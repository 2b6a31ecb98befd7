#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package build/veltry_1.0_amd64.deb
# (install it with: sudo apt install ./build/veltry_1.0_amd64.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
cpack -G DEB >/dev/null
ls "$PWD"/veltry_*.deb
