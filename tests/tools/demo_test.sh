#!/usr/bin/env bash
# `pravell demo` prints the sample and the verdict of its round trip, and leaves no temporary
# folder behind. The container's size depends on the zlib build, so it is not compared.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

mkdir tmp
TMPDIR="$PWD/tmp" run 0 demo demo
quiet demo err
sed -E 's/^(compressed container) +[0-9]+ bytes, [0-9]+%/\1 N bytes, N%/' demo.out >demo.normalized
same_bytes demo demo.normalized "$expected/demo.txt"
if [ -n "$(ls -A tmp)" ]; then
    fail "demo: left $(ls -A tmp) in the temporary folder"
fi

# Without a usable temporary folder the demo says so instead of writing elsewhere.
TMPDIR="$PWD/no/such/folder" run 1 no-tmp demo
says no-tmp err "pravell: Failed to create a temporary folder: No such file or directory"

finish
