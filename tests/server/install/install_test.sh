#!/bin/bash
# Installs the build into a scratch prefix, checks the layout and the library's exports, and
# builds and runs a host against the installed tree with pkg-config's flags only.
# Usage: install_test.sh BUILD_DIR LIBDIR INCLUDEDIR HOST_SOURCE CXX [COMPILER_FLAGS...]
set -euo pipefail
build=$1 libdir=$2 includedir=$3 host_source=$4 compiler=$5
shift 5

root=${PRAVELL_TEST_ROOT:-/tmp}
mkdir -p "$root"
scratch=$(mktemp -d "$root/install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in "$libdir/libpravell.so" "$libdir/pravell.tlb" "$libdir/utils.tlb" \
    "$libdir/libpravell-platform.so" "$libdir/libpravell-host.a" "$libdir/pkgconfig/pravell.pc" \
    "$includedir/pravell/platform/com.h" "$includedir/pravell/host/LateBound.h" \
    "$includedir/pravell/pravell_idl.h" "$includedir/pravell/utils_idl.h"; do
    if [[ ! -f "$prefix/$file" ]]; then
        echo "not installed: $file" >&2
        exit 1
    fi
done

exports=$(nm -D --defined-only "$prefix/$libdir/libpravell.so" | awk '{print $3}' | sort | xargs)
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer"
if [[ "$exports" != "$expected" ]]; then
    echo "libpravell.so exports: $exports" >&2
    exit 1
fi

# A prefix moved elsewhere still works: the pkg-config file finds its tree from its own place.
moved="$scratch/moved"
mv "$prefix" "$moved"
export PKG_CONFIG_PATH="$moved/$libdir/pkgconfig"
# shellcheck disable=SC2046 # pkg-config's flags are meant to split
"$compiler" -std=c++17 "$@" "$host_source" -o "$moved/host" \
    $(pkg-config --cflags --libs pravell)
PRAVELL_REGISTRY="$moved/registry" LD_LIBRARY_PATH="$moved/$libdir" \
    "$moved/host" "$moved/$libdir/libpravell.so"
echo "installed tree works"
