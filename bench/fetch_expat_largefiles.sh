#!/usr/bin/env bash
# Fetches Debian's expat source package into a cache folder and prints the path of its
# testdata/largefiles/ folder. A fresh machine lists only binary archives, so when no source
# entry exists one is added for the same Debian archive and suites before the download.
# Usage: fetch_expat_largefiles.sh CACHE_DIR
set -euo pipefail

cache="${1:?usage: $0 CACHE_DIR}"
mkdir -p "$cache"
cache="$(cd "$cache" && pwd)"

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
apt_wait=(-o DPkg::Lock::Timeout=600)

has_source_entry() {
    grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
        grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

# Each deb822 stanza of a Debian archive (one whose suites are this release's) is repeated
# with the type deb-src; other vendors' archives are left out.
source_stanzas() {
    local codename
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:?}")"
    awk -v codename="$codename" '
        function flush() {
            if (stanza != "" && binary && ours) printf "%s\n", stanza
            stanza = ""; binary = 0; ours = 0
        }
        /^[[:space:]]*$/ { flush(); next }
        /^[[:space:]]*#/ { next }
        /^Types:/ { binary = ($0 ~ /[[:space:]]deb([[:space:]]|$)/); stanza = stanza "Types: deb-src\n"; next }
        /^Suites:/ {
            for (i = 2; i <= NF; i++) if ($i == codename || index($i, codename "-") == 1) ours = 1
        }
        { stanza = stanza $0 "\n" }
        END { flush() }
    ' /etc/apt/sources.list.d/*.sources
    local list
    for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$list" ] || continue
        awk -v codename="$codename" '
            $1 == "deb" { for (i = 3; i <= NF; i++) if ($i == codename || index($i, codename "-") == 1) {
                sub(/^deb/, "deb-src"); print; break } }' "$list"
    done
}

# A mirror may list a version whose files it no longer serves: the versions are tried newest
# first until one downloads whole.
download_expat_source() {
    local version
    for version in $(apt-cache showsrc expat | awk '/^Version:/ { print $2 }' | sort -urV); do
        echo "== downloading the expat source package $version into $cache" >&2
        if (cd "$cache" && apt-get source --download-only "expat=$version" >&2 2>/dev/null); then
            return 0
        fi
        rm -f "$cache/expat_$version.dsc"
    done
    echo "no version of the expat source package could be downloaded" >&2
    return 1
}

if ! ls "$cache"/expat_*.dsc >/dev/null 2>&1; then
    if ! has_source_entry; then
        stanzas="$(source_stanzas)"
        if [ -z "$stanzas" ]; then
            echo "no Debian archive entry to derive a source entry from" >&2
            exit 1
        fi
        echo "== adding Debian source entries (/etc/apt/sources.list.d/debian-src.sources)" >&2
        printf '%s\n' "$stanzas" | $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
        $sudo apt-get "${apt_wait[@]}" update -qq >&2
    fi
    download_expat_source || { $sudo apt-get "${apt_wait[@]}" update -qq >&2 && download_expat_source; }
fi

tree="$cache/expat-source"
if [ ! -d "$tree" ]; then
    dsc="$(ls "$cache"/expat_*.dsc | sort -V | tail -n 1)"
    echo "== unpacking $(basename "$dsc")" >&2
    rm -rf "$tree.partial"
    dpkg-source --no-check -x "$dsc" "$tree.partial" >/dev/null
    mv "$tree.partial" "$tree"
fi

largefiles="$tree/testdata/largefiles"
if [ ! -d "$largefiles" ]; then
    echo "the expat source has no testdata/largefiles folder" >&2
    exit 1
fi
echo "$largefiles"
