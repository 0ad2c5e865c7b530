#!/usr/bin/env bash
# Runs the whole analysis of the example data: load, run every mixture's
# chains, all reports and diagnostics. Outputs go to examples/tavrin/output/.
set -euo pipefail
cd "$(dirname "$0")/.."
build/app/cli/mixora analyze examples/tavrin/tavrin.tcf --overwrite "$@"
