#!/usr/bin/env bash
# `pravell compress` and `pravell expand`: the container's header, a round trip through one and
# through several blocks, and outputs that are replaced only by a whole result.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

run 0 compress compress "$input/catalog.xml" catalog.pxc
quiet compress out
quiet compress err
printf '\325\0\0\0\252\0\0\0\226\0\0\0\1\0\0\0\36\0\0\0Corvantis Compressed XML File\0' >header.want
head -c 50 catalog.pxc >header.got
same_bytes header header.got header.want

# A file save ends each line in a carriage return and a line feed.
run 0 expand expand catalog.pxc catalog.xml
sed 's/$/\r/' "$expected/catalog.formatted.xml" >expanded.want
same_bytes expand catalog.xml expanded.want

run 0 reformat format catalog.xml
same_bytes reformat reformat.out "$expected/catalog.formatted.xml"

# More than one block of 1,048,576 bytes.
make_large_document large.xml
run 0 large-format format large.xml
if [ "$(stat -c %s large-format.out)" -le 1048576 ]; then
    fail "large: the document fits in one block"
fi
run 0 large-compress compress large.xml large.pxc
run 0 large-expand expand large.pxc large.expanded
tr -d '\r' <large.expanded >large.unix
same_bytes large large.unix large-format.out

# An existing output is replaced by a complete result, and left alone by a failure.
echo "previous" >kept.xml
printf 'not a container' >junk.pxc
run 1 failed-expand expand junk.pxc kept.xml
printf 'previous\n' >kept.want
same_bytes failed-expand kept.xml kept.want
run 0 replaced expand catalog.pxc kept.xml
same_bytes replaced kept.xml expanded.want

finish
