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
# Race detector: the chain runner, report runner and command-line run tests.
cmake -S . -B build-tsan -DMIXORA_TSAN=ON -DMIXORA_BENCH=OFF -DMIXORA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-tsan -j"$(nproc)"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j"$(nproc)" -LE cluster)
# Every reader fuzzed for a fixed time (at most 5 minutes in all).
bash scripts/fuzz.sh
