#!/usr/bin/env bash
# Installs the Debian packages Mixora builds with, only those missing.
set -euo pipefail
packages=(build-essential cmake zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
          libboost-math-dev libcli11-dev
          # desktop program, charts and their offscreen/Xvfb tests
          qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev fonts-dejavu-core xvfb xauth
          # coverage-guided fuzzing of the readers
          clang-16 libfuzzer-16-dev libclang-rt-16-dev
          # the single-node cluster of the cluster test tier
          slurmctld slurmd slurm-client munge
          # the locale tests generate de_DE and tr_TR from these sources
          locales)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
