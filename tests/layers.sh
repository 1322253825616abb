#!/usr/bin/env bash
# Checks the one rule of the layout: no file includes from a folder above its own.
# Usage: layers.sh ROOT LAYER...   (the libraries of src/, bottom to top)
#
# - src/L and tests/L may include the layers up to L; tests also their shared support/ and the
#   host library, since tests play the host's part. The platform's own tests take only the base
#   of host objects from it, which calls nothing of the platform: they must not test the platform
#   through code built on it.
# - src/host and tests/host are for hosts: they may include the platform and host only; nothing
#   of the stack includes host.
# - tests/conformance runs the whole stack up to the model over a suite of documents, and may
#   include what the model's tests may.
# - tests/soak runs the whole component in one process, so it ranks with the top layer.
# - tools/ and examples/ are hosts too; the tools also have their own idlc/.
# - fuzz/ drives the whole stack as the tests do, the platform's insides included (its readers
#   of the registry and type library files), and may include the tests' support and the host
#   library.
# - Outside the platform layer and its tests, portable code includes platform/com.h only; the
#   Linux-only tool may also name the registry file.
set -euo pipefail

root=$1
shift
declare -A rank
index=0
for layer in "$@"; do
    rank[$layer]=$index
    index=$((index + 1))
done

top=${!#}

failures=0
fail() {
    echo "$1: $2"
    failures=$((failures + 1))
}

# may_include OWNER TARGET HEADER: whether a file of folder OWNER (src/L, tests/L, tools,
# examples) may include HEADER from the folder TARGET.
may_include() {
    local owner=$1 target=$2 header=$3 tree=${1%%/*} layer=${1#*/}
    layer=${layer%%/*}
    if [[ $tree == tests && $layer == conformance ]]; then
        layer=model
    elif [[ $tree == tests && $layer == soak ]]; then
        layer=$top
    fi
    case $tree in
        fuzz)
            [[ $target != idlc ]]
            return ;;
        tools | examples)
            [[ $target == platform || $target == host || ($tree == tools && $target == idlc) ]]
            return ;;
    esac
    if [[ $tree == tests && $target == support ]]; then
        return 0
    fi
    if [[ $tree == tests && $target == host ]]; then
        [[ $layer != platform || $header == host/HostObject.h ]]
        return
    fi
    if [[ $layer == host ]]; then
        [[ $target == platform || $target == host ]]
        return
    fi
    [[ -n ${rank[$layer]+set} && -n ${rank[$target]+set} && ${rank[$target]} -le ${rank[$layer]} ]]
}

# Only includes of folders the layout knows are checked; local and generated headers are not.
is_folder() {
    [[ -n ${rank[$1]+set} || $1 == host || $1 == support || $1 == idlc ]]
}

cd "$root"
while IFS= read -r file; do
    case $file in
        src/*/* | tests/*/* | tools/* | examples/* | fuzz/*) ;;
        *) continue ;;
    esac
    owner=${file%/*}
    [[ $owner == tests/support* ]] && continue
    while IFS=: read -r line target; do
        folder=${target%%/*}
        is_folder "$folder" || continue
        if ! may_include "$owner" "$folder" "$target"; then
            fail "$file:$line" "includes $target from a folder above its own"
        elif [[ $folder == platform && $target != platform/com.h && $owner != src/platform* &&
                $owner != tests/platform* && $owner != fuzz &&
                ! ($owner == tools && $target == platform/regstore.h) ]]; then
            fail "$file:$line" "includes $target: portable code includes platform/com.h only"
        fi
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' 2>/dev/null ||
         find src tests tools examples fuzz -name '*.h' -o -name '*.cpp')

if ((failures > 0)); then
    echo "$failures include(s) break the layers: $*"
    exit 1
fi
echo "layers hold: $*"
