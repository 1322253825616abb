#!/usr/bin/env bash
# Failures of the operation: exit status 1, the reason on standard error, no output, and no
# output file left behind.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

run 1 bad-format format "$input/mismatched.xml"
says bad-format err "pravell: XML Parse failed: mismatched tag (Line: 3, Column: 2)"
quiet bad-format out

stdin="$input/mismatched.xml" run 1 bad-stdin format -
says bad-stdin err "pravell: XML Parse failed: mismatched tag (Line: 3, Column: 2)"

# A standard input that cannot be read (a directory) is not taken for an empty document.
stdin=. run 1 unreadable-stdin format -
says unreadable-stdin err "pravell: Failed to read standard input: Is a directory"
run 1 unreadable-file format .
says unreadable-file err "pravell: Failed to read .: Is a directory"

run 1 bad-compress compress "$input/mismatched.xml" bad.pxc
says bad-compress err "pravell: XML Parse failed: mismatched tag (Line: 3, Column: 2)"
absent bad-compress bad.pxc

: >empty.xml
run 1 empty format empty.xml
says empty err "pravell: XML Parse failed: no element found (Line: 1, Column: 0)"

run 1 missing format missing.xml
says missing err "pravell: Failed to open file: missing.xml: No such file or directory"
run 1 missing-compress compress missing.xml out.pxc
says missing-compress err "pravell: Failed to open file: missing.xml"
absent missing-compress out.pxc
run 1 missing-container expand missing.pxc out.xml
says missing-container err "pravell: Failed to open compressed file: missing.pxc"
absent missing-container out.xml

# Damaged containers: every fault fails the whole load, whatever came before it.
launch "$tool" compress "$input/catalog.xml" good.pxc
size=$(stat -c %s good.pxc)
head -c 60 good.pxc >truncated-header-and-block.pxc
head -c $((size - 10)) good.pxc >truncated-closing-block.pxc
cp "$input/catalog.xml" plain-xml.pxc
: >empty-container.pxc
{ head -c 12 good.pxc; printf '\2\0\0\0'; tail -c +17 good.pxc; } >version-2.pxc
{ head -c 70 good.pxc; printf 'XXXX'; tail -c +75 good.pxc; } >flipped-data.pxc
{ head -c 50 good.pxc; printf '\377\377\377\177'; tail -c +55 good.pxc; } >huge-length.pxc
for damaged in truncated-header-and-block truncated-closing-block plain-xml empty-container version-2 \
    flipped-data huge-length; do
    run 1 "$damaged" expand "$damaged.pxc" "$damaged.xml"
    says "$damaged" err "pravell: XML Parse failed: there was an error streaming in data"
    absent "$damaged" "$damaged.xml"
done

# Outputs that cannot be written.
run 1 no-folder-container compress "$input/catalog.xml" no/such/folder.pxc
says no-folder-container err "pravell: Failed to write compressed file: no/such/folder.pxc"
run 1 no-folder-file expand good.pxc no/such/folder.xml
says no-folder-file err "pravell: Failed to create file: no/such/folder.xml"
if [ -w /dev/full ]; then
    launch "$tool" format "$input/catalog.xml" >/dev/full 2>full.err && fail "full: exit status 0"
    says full err "pravell: Failed to write to standard output: No space left on device"
    launch "$tool" events "$input/catalog.xml" >/dev/full 2>events-full.err && fail "events-full: exit status 0"
    says events-full err "pravell: Failed to write to standard output: No space left on device"
fi

finish
