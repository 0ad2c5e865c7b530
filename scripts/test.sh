#!/usr/bin/env bash
# Installs what is missing, builds twice (normal and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)" -LE cluster)
# The cluster tier starts a single-node Slurm of its own; once is enough.
(cd build && ctest --output-on-failure -L cluster)
bash scripts/build.sh --sanitize
(cd build-sanitize && ctest --output-on-failure -j"$(nproc)" -LE cluster)
