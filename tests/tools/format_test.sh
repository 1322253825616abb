#!/usr/bin/env bash
# `pravell format` prints exactly what the model saves, from a file, a redirection or a pipe.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

run 0 file format "$input/catalog.xml"
same_bytes file file.out "$expected/catalog.formatted.xml"
quiet file err

stdin="$input/catalog.xml" run 0 redirected format -
same_bytes redirected redirected.out "$expected/catalog.formatted.xml"

# Carriage returns and line feeds in the input change nothing.
sed 's/$/\r/' "$input/catalog.xml" >crlf.xml
run 0 crlf format crlf.xml
same_bytes crlf crlf.out "$expected/catalog.formatted.xml"

# The formatted text loads back to the same document.
run 0 again format file.out
same_bytes again again.out "$expected/catalog.formatted.xml"

# A pipe hands over what it holds at the moment: here first a piece shorter than the loader's,
# which must not be taken for the end of the document.
make_large_document large.xml
run 0 large format large.xml
{ head -c 3000 large.xml; sleep 1; tail -c +3001 large.xml; } |
    launch "$tool" format - >piped.out 2>piped.err || fail "piped: exit status $?"
same_bytes piped piped.out large.out
quiet piped err
if [ "$(grep -c '<item ' large.out)" -ne "$large_items" ]; then
    fail "large: items lost"
fi

# On a terminal a slow read shows how far it got, and the line is erased at the end; the pipe
# above got no such line (its standard error stayed empty).
if command -v script >/dev/null; then
    script -qec "{ head -c 3000 large.xml; sleep 1; tail -c +3001 large.xml; } |
        ${PRAVELL_TOOL_RUNNER:-} '$tool' format - >terminal.out" terminal.typescript >/dev/null </dev/null ||
        fail "terminal: exit status $?"
    same_bytes terminal terminal.out large.out
    # Some versions of script frame what the tool wrote with lines of their own.
    tr '\r\033' '|~' <terminal.typescript >terminal.progress
    grep -qx '\(|pravell: [0-9]* bytes read\)\+|~\[K' terminal.progress ||
        fail "terminal: no progress line that is erased at the end: $(cat terminal.progress)"
fi

# A file whose name starts with a dash is named after "--".
cp "$input/catalog.xml" ./-dash.xml
run 0 dash format -- -dash.xml
same_bytes dash dash.out "$expected/catalog.formatted.xml"

finish
