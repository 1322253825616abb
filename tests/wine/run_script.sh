#!/usr/bin/env bash
# Runs one script suite with the platform's script host under Wine, in a fresh work folder that
# holds the suite and copies of the data suites it walks (documents, events), each
# with the list of its files in files.txt.
#   run_script.sh SCRIPT
# Wine's cscript exits 0 and prints nothing more on an uncaught script error, so a suite passes
# only when it exits 0 and its last line is "all passed".
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
script="$1"
work="${PRAVELL_WINE_WORK:?}/$(basename "$script")"
rm -rf "$work"
mkdir -p "$work"
cp "$script" "$work/"
# Wine's JScript cannot enumerate a folder's files, so each suite gets its list of file names.
for suite in documents events; do
    cp -r "${PRAVELL_TEST_DATA:?}/$suite" "$work/"
    (cd "$work/$suite" && ls >files.txt)
done
cd "$work" || exit 1

output="$("$here/wine-run" cscript //nologo "$(basename "$script")" 2>&1)"
status=$?
output="$(printf '%s\n' "$output" | tr -d '\r')"
printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    echo "run_script: $(basename "$script") exited with status $status"
    exit 1
fi
if [ "$(printf '%s\n' "$output" | tail -n 1)" != "all passed" ]; then
    echo "run_script: $(basename "$script") stopped without \"all passed\" (an uncaught script error)"
    exit 1
fi
