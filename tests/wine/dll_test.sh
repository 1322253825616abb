#!/usr/bin/env bash
# What pravell.dll shows the system: it exports exactly the four entry points, imports only the
# system's own DLLs (the C++ runtime, expat and zlib are inside), and carries a version resource.
#   dll_test.sh OBJDUMP PATH/pravell.dll
set -euo pipefail
objdump=$1
dll=$2
failures=0
headers="$("$objdump" -p "$dll")"

# The names of the export table's name pointer list.
exports="$(awk '/\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
               names && /^\t\[ *[0-9]+\] / { print $NF; next }
               names { names = 0 }' <<<"$headers" | sort | tr '\n' ' ')"
if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ]; then
    echo "exports: $exports"
    failures=$((failures + 1))
fi
foreign="$(awk '/DLL Name:/ { print $3 }' <<<"$headers" |
    grep -viE '^(kernel32|advapi32|ole32|oleaut32|msvcrt|user32)\.dll$' || true)"
if [ -n "$foreign" ]; then
    echo "imports DLLs that are not the system's: $foreign"
    failures=$((failures + 1))
fi
if ! grep -q 'Resource Directory \[.rsrc\]' <<<"$headers"; then
    echo "no version resource"
    failures=$((failures + 1))
fi
if ! LC_ALL=C grep -aqP 'F\x00i\x00l\x00e\x00V\x00e\x00r\x00s\x00i\x00o\x00n' "$dll"; then
    echo "the resource holds no FileVersion"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "pravell.dll: four exports, system imports only, a version resource"
exit "$failures"
