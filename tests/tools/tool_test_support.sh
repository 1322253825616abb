# shellcheck shell=bash
# Helpers for the end-to-end tests of the pravell tool, sourced by each *_test.sh.
# Arguments of every test script: the built tool, this folder, a scratch folder of its own.
set -euo pipefail

tool=$1
here=$2
scratch=$3
# shellcheck disable=SC2034 # read by the test scripts that source this file
expected="$here/expected"
# shellcheck disable=SC2034 # read by the test scripts that source this file
input="$here/input"
failures=0

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
# A registry of this run's own: nothing outside it is read or changed.
export PRAVELL_REGISTRY="$scratch/registry"

# PRAVELL_TOOL_RUNNER, when set, is a command put before every run of the tool and of the example
# host: scripts/check runs them all under valgrind this way. Valgrind cannot start without the
# folder named by TMPDIR, so a run given a missing one goes without it.
read -r -a runner <<<"${PRAVELL_TOOL_RUNNER:-}"
launch() {
    if [ -n "${TMPDIR:-}" ] && [ ! -d "$TMPDIR" ]; then
        "$@"
    else
        "${runner[@]}" "$@"
    fi
}

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# run STATUS NAME [ARGUMENT...]: runs the tool with standard input from $stdin (or nothing),
# keeps its output in NAME.out and NAME.err and checks the exit status.
run() {
    local want=$1 name=$2 status=0
    shift 2
    launch "$tool" "$@" <"${stdin:-/dev/null}" >"$name.out" 2>"$name.err" || status=$?
    if [ "$status" -ne "$want" ]; then
        fail "$name: exit status $status, expected $want"
        sed 's/^/    /' "$name.err" >&2
    fi
}

# same_bytes NAME ACTUAL EXPECTED: the two files hold the very same bytes.
same_bytes() {
    if ! cmp -s "$2" "$3"; then
        fail "$1: $2 differs from $3"
        diff -u "$3" "$2" | head -n 40 | sed 's/^/    /' >&2 || true
    fi
}

# says NAME STREAM TEXT: the stream (out or err) of the run NAME is exactly TEXT and a line feed.
says() {
    printf '%s\n' "$3" >"$1.$2.want"
    same_bytes "$1" "$1.$2" "$1.$2.want"
}

# quiet NAME STREAM: the stream of the run NAME is empty.
quiet() {
    if [ -s "$1.$2" ]; then
        fail "$1: unexpected standard $2"
        sed 's/^/    /' "$1.$2" >&2
    fi
}

# Registers the library beside the tool, from this folder, not the library's.
register_library() {
    launch "$tool" register >register.out 2>register.err || fail "register: exit status $?"
    quiet register err
}

absent() {
    if [ -e "$2" ]; then
        fail "$1: $2 exists"
    fi
}

# A document whose formatted text (about 1.3 MB) fills more than one container block and many
# load pieces and pipe buffers.
large_items=22000
make_large_document() {
    {
        echo '<inventory>'
        seq 1 "$large_items" | sed 's|.*|  <item n="&" kind="a\&amp;b">value \&amp; \&lt;kept\&gt;</item>|'
        echo '</inventory>'
    } >"$1"
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
