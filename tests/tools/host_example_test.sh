#!/usr/bin/env bash
# The example host of the README, built against the platform layer only, finds the model through
# the registry and calls it by name.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
host=$4
register_library

launch "$host" '<note><to>Tove</to><from>Jani</from></note>' >good.out 2>good.err ||
    fail "good: exit status $?"
says good out "to: Tove"
quiet good err

status=0
launch "$host" '<note><to>Tove</note>' >bad.out 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "bad: exit status $status"
says bad out "error: XML Parse failed: mismatched tag (Line: 1, Column: 16)"

# Nothing to walk: the failure of GetChild comes as a status, without a description.
status=0
launch "$host" '<note/>' >empty.out 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "empty: exit status $status"
says empty out "error: GetChild failed with 0x80004005"
finish
