#!/usr/bin/env bash
# Installs the Debian packages Mixora builds with, only those missing.
set -euo pipefail
packages=(build-essential cmake zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
          libboost-math-dev libcli11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
