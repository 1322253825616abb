#!/usr/bin/env bash
# docs/reference.md against the type libraries: every operation that the canonical texts of the
# type libraries list (typelib_dump's, held to the built libraries by server.typelibs) has a
# heading in the reference and every heading an operation, with the same parameters in the same
# order. A heading is "### Name(a, [out] b) → c" under "## Interface": the parameters a caller
# passes, [out] for one the operation fills in, and after the arrow the [out, retval] parameter.
# Arguments: the reference, the folder of the canonical texts.
set -euo pipefail
export LC_ALL=C

reference=$1
texts=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The interface halves' functions as "Interface.Name(parameters) -> result", in their order.
for text in "$texts"/pravell.tlb.txt "$texts"/utils.tlb.txt; do
    awk '
        function flush() {
            if (function_name != "") {
                print interface "." function_name "(" parameters ")" (result != "" ? " -> " result : "")
            }
            function_name = ""
        }
        /^  half interface / { flush(); interface = $3; next }
        /^(  )?[a-z]/ { flush(); interface = ""; next }
        interface != "" && /^    function / { flush(); function_name = $2; parameters = ""; result = ""; next }
        interface != "" && function_name != "" && /^      param / {
            flags = ""
            for (i = 3; i < NF; ++i) flags = flags (flags == "" ? "" : " ") $i
            if (flags ~ /retval/) { result = $2; next }
            shown = flags == "in" ? $2 : "[" flags "] " $2
            sub(/\[in out\]/, "[in, out]", shown)
            parameters = parameters (parameters == "" ? "" : ", ") shown
        }
        END { flush() }
    ' "$text"
done | sort -s -t. -k1,1 >"$scratch/libraries"

# The headings of the reference in the same form.
awk '
    /^## IDispatch[A-Za-z]+$/ { interface = $2; next }
    /^## / { interface = ""; next }
    interface != "" && /^### / {
        heading = substr($0, 5)
        sub(/ → /, " -> ", heading)
        print interface "." heading
    }
' "$reference" | sort -s -t. -k1,1 >"$scratch/reference"

if [ ! -s "$scratch/libraries" ] || [ ! -s "$scratch/reference" ]; then
    echo "FAILED: no operations found in the type library texts or in $reference" >&2
    exit 1
fi
if ! diff -u --label "type libraries" --label "$reference" "$scratch/libraries" \
    "$scratch/reference" >&2; then
    echo "FAILED: $reference and the type libraries name different operations" >&2
    exit 1
fi
echo "all checks passed: $(wc -l <"$scratch/reference") operations"
