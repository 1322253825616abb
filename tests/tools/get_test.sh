#!/usr/bin/env bash
# `pravell get` walks a path of child names and an attribute.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

run 0 text get "$input/catalog.xml" catalog/product/title
says text out "Assam Breakfast – tin of 250 g"
quiet text err
run 0 attribute get "$input/catalog.xml" catalog/supplier/@motto
says attribute out "Say \"hello\" and it's done"
# The first child of each name, names without regard to letter case.
run 0 first get "$input/catalog.xml" CATALOG/product/@SKU
says first out "TEA-001"
run 0 deep get "$input/catalog.xml" catalog/product/note
says deep out "The marker ]]> ends a CDATA section & must be split."
stdin="$input/catalog.xml" run 0 stdin get - catalog/@currency
says stdin out "EUR"
run 0 empty-text get "$input/catalog.xml" catalog/product/empty
says empty-text out ""

run 1 no-element get "$input/catalog.xml" catalog/product/price
says no-element err "pravell: no element catalog/product/price in $input/catalog.xml"
quiet no-element out
run 1 no-top get "$input/catalog.xml" inventory/item
says no-top err "pravell: no element inventory in $input/catalog.xml"
run 1 no-attribute get "$input/catalog.xml" catalog/supplier/@fax
says no-attribute err "pravell: no attribute fax on catalog/supplier in $input/catalog.xml"
run 1 bad-xml get "$input/mismatched.xml" a
says bad-xml err "pravell: XML Parse failed: mismatched tag (Line: 3, Column: 2)"
run 1 missing get missing.xml a
says missing err "pravell: Failed to open file: missing.xml: No such file or directory"

case=0
for path in "" / a//b @id/a a/@ a/ /a @id; do
    case=$((case + 1))
    run 2 "bad-path-$case" get "$input/catalog.xml" "$path"
    quiet "bad-path-$case" out
done
says bad-path-4 err "pravell: not a path: @id/a (element names separated by /, optionally ending in @attribute)
Try 'pravell help get'."
finish
