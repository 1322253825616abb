#!/usr/bin/env bash
# The built type libraries as a host that walks them sees them: typelib_dump's canonical text of
# each must be the checked-in one, byte for byte. The same texts are what the dump prints for the
# type libraries that the Windows build compiles from the same IDL.
# Arguments: the folder of the built type libraries, the folder of expected texts, then the
# command that runs typelib_dump (under Wine, the emulator first).
set -euo pipefail

built=$1
expected=$2
shift 2
dump=("$@")
failures=0

for name in pravell utils typelib_test; do
    actual=$(mktemp)
    if ! "${dump[@]}" "$built/$name.tlb" "$actual"; then
        echo "FAILED: $name.tlb does not load or walk" >&2
        failures=$((failures + 1))
    elif ! cmp -s "$expected/$name.tlb.txt" "$actual"; then
        echo "FAILED: $name.tlb differs from $expected/$name.tlb.txt" >&2
        diff -u "$expected/$name.tlb.txt" "$actual" | head -n 60 | sed 's/^/    /' >&2 || true
        failures=$((failures + 1))
    fi
    rm -f "$actual"
done

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "all checks passed"
