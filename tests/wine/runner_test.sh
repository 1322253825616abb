#!/usr/bin/env bash
# The script runner fails every broken suite in FOLDER: an uncaught error (after which Wine's
# script host exits 0), a failure status, a syntax error, and a suite that never says "all
# passed".
#   runner_test.sh FOLDER
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
failures=0
for script in "$1"/*; do
    if "$here/run_script.sh" "$script" >/dev/null 2>&1; then
        echo "the runner passed the broken suite $(basename "$script")"
        failures=$((failures + 1))
    else
        echo "failed as it should: $(basename "$script")"
    fi
done
exit "$failures"
