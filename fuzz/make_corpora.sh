#!/usr/bin/env bash
# Makes the seed corpus of every fuzz target from the project's own test files, in
# BUILD/corpus/<target>/ (BUILD is the fuzz build, whose bin/ holds the built type libraries).
# Seeds are copied, never linked: libFuzzer adds to and rewrites its corpus folders.
# Usage: make_corpora.sh SOURCE BUILD
set -euo pipefail

source=$1
build=$2
data=$source/tests/data
corpus=$build/corpus

# seed TARGET FILE...: copies the files that exist into the target's corpus, each under a name
# that keeps where it came from.
seed() {
    local target=$1 file
    shift
    mkdir -p "$corpus/$target"
    for file in "$@"; do
        if [ -f "$file" ]; then
            cp "$file" "$corpus/$target/$(basename "$(dirname "$file")")-$(basename "$file")"
        fi
    done
}

# split_cases TARGET FILE: the cases of a file of "== ..." sections, one seed each.
split_cases() {
    mkdir -p "$corpus/$1"
    awk -v out="$corpus/$1/$(basename "$2" .txt)-" '
        /^== / { file = out (++n); printf "" > file; next }
        n > 0 { print > file }' "$2"
}

# Not entity-expansion.xml: the tokenizer lets megabytes of expansion through before its limit
# stops the parse, seconds of work under the sanitizers that would crowd out everything else.
documents=()
for file in "$data"/documents/*.xml "$data"/documents/*.saved "$data"/events/*.xml \
            "$source"/tests/tools/input/*.xml; do
    [[ $file == */entity-expansion.* ]] || documents+=("$file")
done
seed load_roundtrip "${documents[@]}"
seed streaming "${documents[@]}"
seed container "$data"/container/*.pxc
# The late-bound calls read their choices from the bytes; documents give them texts.
seed invoke "$source"/tests/tools/input/*.xml "$data"/events/*.xml
seed registry_file "$data"/server/*.reg
seed typelib_file "$build"/bin/*.tlb
split_cases typelib_file "$data"/typelibs/libraries.txt

for target in "$corpus"/*/; do
    echo "== corpus $(basename "$target"): $(find "$target" -type f | wc -l) files"
done
