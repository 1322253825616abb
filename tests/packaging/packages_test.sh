#!/usr/bin/env bash
# The release files as a user gets them, never installed on this machine:
# - the Windows archive, unpacked into a folder whose path holds a blank, in a Wine prefix of its
#   own: its checksums hold, regsvr32 registers it from there, every example prints what its
#   comment says (the C++ one built with mingw-w64 against the archive's include\ alone), and
#   regsvr32 /u leaves none of the registration's keys;
# - the Debian package: lintian finds no error and overrides none; unpacked into a scratch root,
#   its tool registers the library in a registry of its own and runs its demo, and the example
#   host builds with the unpacked pravell.pc and runs.
# Usage: packages_test.sh PACKAGES_DIR
set -euo pipefail
tests="$(cd "$(dirname "$0")/.." && pwd)"
packages="$(cd "$1" && pwd)"
version="$("$tests/../scripts/version")"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/pravell-packages-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# The lines a program's leading comment promises after "prints:", without the comment marks.
promised() {
    tr -d '\r' <"$1" | sed -n '/[Pp]rints:$/,/^[^/'"'"']/p' | sed -n 's/^\(\/\/\|'"'"'\)   //p'
}
# check NAME FILE COMMAND...: the command prints what FILE's comment promises.
check() {
    local name=$1 file=$2
    shift 2
    if ! diff <(promised "$file") <("$@" 2>&1 | tr -d '\r') >"$scratch/$name.diff"; then
        fail "$name does not print what its comment says:"
        cat "$scratch/$name.diff" >&2
    fi
}

echo "== the Windows archive"
name="pravell-$version-windows-x64"
folder="$scratch/Program Files/$name"
unzip -q "$packages/$name.zip" -d "$scratch/Program Files"
(cd "$folder" && sha256sum --quiet -c SHA256SUMS) || fail "the archive's checksums"
export PRAVELL_WINEPREFIX="$scratch/wineprefix"
bash "$tests/wine/registration_test.sh" register "$folder/pravell.dll" || fail "regsvr32"
cd "$folder/examples"
check model.vbs model.vbs "$tests/wine/wine-run" cscript //nologo model.vbs
check parser.js parser.js "$tests/wine/wine-run" cscript //nologo parser.js
cd "$folder"
build_line="$(sed -n 's|^//   x86_64-w64-mingw32-g++|x86_64-w64-mingw32-g++-posix|p' examples/host.cpp)"
build_line+=" $(sed -n 's|^//       ||p' examples/host.cpp | head -n 1)"
build_line="${build_line//\\//}"
read -r -a build_command <<<"${build_line/host.exe/$scratch/host.exe}"
"${build_command[@]}" || fail "the C++ example does not build: ${build_command[*]}"
[ -f "$scratch/host.exe" ] && check host.cpp examples/host.cpp "$tests/wine/wine-run" "$scratch/host.exe"
bash "$tests/wine/registration_test.sh" unregister "$folder/pravell.dll" || fail "regsvr32 /u"
WINEPREFIX="$PRAVELL_WINEPREFIX" wineserver -k 2>/dev/null || true

echo "== the Debian package"
deb="$packages/pravell_${version}_amd64.deb"
lintian --fail-on error "$deb" || fail "lintian reports an error"
if dpkg-deb -c "$deb" | grep -q 'lintian/overrides'; then
    fail "the package overrides lintian"
fi
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
export PRAVELL_REGISTRY="$scratch/registry"
"$root/usr/bin/pravell" register >/dev/null || fail "pravell register"
"$root/usr/bin/pravell" demo >"$scratch/demo.out" || fail "pravell demo"
sed -E 's/^(compressed container) +[0-9]+ bytes, [0-9]+%/\1 N bytes, N%/' "$scratch/demo.out" |
    diff - "$tests/tools/expected/demo.txt" >&2 || fail "pravell demo prints otherwise"
libdir="$(dirname "$(find "$root/usr/lib" -name libpravell.so)")"
# shellcheck disable=SC2046 # pkg-config's flags are meant to split
g++ -std=c++17 "$tests/../examples/host.cpp" -o "$scratch/host" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs pravell) ||
    fail "examples/host.cpp does not build against the package"
output="$(LD_LIBRARY_PATH="$libdir" "$scratch/host" '<note><to>Tove</to></note>')" ||
    fail "the example host fails"
[ "$output" = "to: Tove" ] || fail "the example host prints '$output'"

[ "$failed" -eq 0 ] && echo "the release files work as a user gets them"
exit "$failed"
