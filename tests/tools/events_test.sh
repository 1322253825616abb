#!/usr/bin/env bash
# `pravell events` prints every event the streaming parser hands its client, one line each.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

# Attributes sorted by name, a comment, a document type, escaped control characters.
run 0 events events "$input/events.xml"
same_bytes events events.out "$expected/events.txt"
quiet events err

stdin="$input/events.xml" run 0 events-stdin events -
same_bytes events-stdin events-stdin.out "$expected/events.txt"

# Carriage returns and line feeds reach the client as line feeds.
sed 's/$/\r/' "$input/events.xml" >crlf.xml
run 0 crlf events crlf.xml
same_bytes crlf crlf.out "$expected/events.txt"

# A document with an error: the events up to it, the error, the end, and exit status 1.
run 1 mismatched events "$input/mismatched.xml"
same_bytes mismatched mismatched.out "$expected/events-mismatched.txt"
says mismatched err "pravell: mismatched tag (Line: 3, Column: 2)"

: >empty.xml
run 1 empty events empty.xml
says empty out "start-document
error no element found (Line: 1, Column: 0)
end-document"
says empty err "pravell: no element found (Line: 1, Column: 0)"

stdin=. run 1 unreadable events -
says unreadable out "start-document
error Error streaming in data
end-document"
says unreadable err "pravell: Failed to read standard input: Is a directory"

run 1 missing events missing.xml
says missing err "pravell: Failed to open file: missing.xml: No such file or directory"
quiet missing out

# Every start has its end, in a large document read through a pipe in pieces.
make_large_document large.xml
{ head -c 3000 large.xml; sleep 1; tail -c +3001 large.xml; } |
    launch "$tool" events - >large.out 2>large.err || fail "large: exit status $?"
quiet large err
if [ "$(grep -c '^start item kind="a&b" n="[0-9]*"$' large.out)" -ne "$large_items" ] ||
    [ "$(grep -c '^end item$' large.out)" -ne "$large_items" ]; then
    fail "large: events lost"
fi
finish
