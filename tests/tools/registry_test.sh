#!/usr/bin/env bash
# `pravell register` and `unregister` in a private registry, from a folder other than the
# library's, and what every command says while the classes are not registered.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
library=$(cd "$(dirname "$tool")" && pwd)/libpravell.so

# Paths differ from one build to the next; the rest of the output is compared byte for byte.
normalize() {
    sed -e "s|$library|LIBRARY|g" -e "s|$PRAVELL_REGISTRY|REGISTRY|g" "$1"
}

not_registered="pravell: Corvantis.XMLModel is not registered: run \`pravell register\`"
run 1 unregistered-format format "$input/catalog.xml"
says unregistered-format err "$not_registered"
quiet unregistered-format out
run 1 unregistered-compress compress "$input/catalog.xml" out.pxc
says unregistered-compress err "$not_registered"
run 1 unregistered-get get "$input/catalog.xml" catalog
says unregistered-get err "$not_registered"
run 1 unregistered-demo demo
says unregistered-demo err "$not_registered"
run 1 unregistered-events events "$input/events.xml"
says unregistered-events err \
    "pravell: Corvantis.StreamingXMLParser is not registered: run \`pravell register\`"
absent unregistered-compress out.pxc

run 0 register register
normalize register.out >register.normalized
same_bytes register register.normalized "$expected/register.txt"
quiet register err
run 0 registered format "$input/catalog.xml"
same_bytes registered registered.out "$expected/catalog.formatted.xml"

# Registering again changes nothing; a library named on the command line, relatively.
cp "$PRAVELL_REGISTRY" registry.before
(cd "$(dirname "$library")" && PRAVELL_REGISTRY="$PRAVELL_REGISTRY" launch "$tool" register libpravell.so) \
    >again.out 2>again.err || fail "again: exit status $?"
same_bytes again "$PRAVELL_REGISTRY" registry.before

# Each key of a registry file with its values on one line, the file's first and last lines left
# out; a damaged file gives nothing and fails.
keys_of() {
    awk 'NR == 1 { if ($0 != "PRAVELL-REGISTRY 1") exit 1; next }
         /^END$/ { ended = 1; next }
         /^\[/ { if (key != "") print key; key = $0; next }
         { key = key " " $0 }
         END { if (!ended) exit 1; if (key != "") print key }' "$1"
}
keys_of registry.before >whole.keys || fail "whole: the registry file does not read"

# Two registrations at once both succeed, and the file is what one of them writes alone.
for round in 1 2 3; do
    rm -f concurrent.registry
    PRAVELL_REGISTRY="$PWD/concurrent.registry" "$tool" register >concurrent1.out 2>&1 &
    first=$!
    PRAVELL_REGISTRY="$PWD/concurrent.registry" "$tool" register >concurrent2.out 2>&1 &
    second=$!
    wait "$first" || fail "concurrent $round: the first exited with $?"
    wait "$second" || fail "concurrent $round: the second exited with $?"
    same_bytes "concurrent $round" concurrent.registry registry.before
done

# Registrations killed at random moments (seeded; PRAVELL_TEST_SEED repeats a run): the file still
# reads, every key in it has all the values a whole registration gives it, and registering again
# completes it, past the temporary files the killed runs left beside it.
seed=${PRAVELL_TEST_SEED:-20240917}
echo "PRAVELL_TEST_SEED=$seed"
RANDOM=$seed
killed="$PWD/killed.registry"
started=$(date +%s%N)
PRAVELL_REGISTRY="$killed" "$tool" register >/dev/null 2>&1 || fail "killed: a whole registration failed"
duration=$((($(date +%s%N) - started) / 1000))
for round in $(seq 1 12); do
    rm -f "$killed"
    PRAVELL_REGISTRY="$killed" "$tool" register >/dev/null 2>&1 &
    registering=$!
    sleep "$(awk -v us=$((RANDOM * duration / 32768)) 'BEGIN { printf "%.6f", us / 1000000 }')"
    kill -KILL "$registering" 2>/dev/null || true
    wait "$registering" 2>/dev/null || true
    [ -e "$killed" ] || continue
    if keys_of "$killed" >killed.keys; then
        grep -vxFf whole.keys killed.keys >broken.keys &&
            fail "killed $round: keys not whole: $(head -n 3 broken.keys)"
    else
        fail "killed $round: the registry file does not read"
    fi
done
PRAVELL_REGISTRY="$killed" "$tool" register >/dev/null 2>&1 || fail "after the killed runs: exit status $?"
same_bytes "after the killed runs" "$killed" registry.before

run 0 unregister unregister
normalize unregister.out >unregister.normalized
same_bytes unregister unregister.normalized "$expected/unregister.txt"
run 1 after-unregister format "$input/catalog.xml"
says after-unregister err "$not_registered"

# A registered library that has gone away.
mkdir moved
cp "$library" "$(dirname "$library")/pravell.tlb" "$(dirname "$library")/utils.tlb" moved/
run 0 register-moved register moved/libpravell.so
rm moved/libpravell.so
run 1 moved format "$input/catalog.xml"
says moved err "pravell: the library registered for Corvantis.XMLModel does not load: run \`pravell register\` again (PRAVELL_PLATFORM_DEBUG=1 shows why)"

# Installed, the tool finds the library in the installation's library folder by default.
if cmake --install "$(dirname "$tool")/.." --prefix "$PWD/prefix" >install.log 2>&1; then
    installed=$(find prefix -name libpravell.so | head -n 1)
    PRAVELL_REGISTRY="$PWD/installed.registry" launch prefix/bin/pravell register >installed.out 2>&1 ||
        fail "installed: exit status $?"
    grep -qx "Registered $PWD/$installed" installed.out || fail "installed: $(head -n 1 installed.out)"
    PRAVELL_REGISTRY="$PWD/installed.registry" launch prefix/bin/pravell get "$input/catalog.xml" \
        catalog/@zone >installed-get.out 2>&1 || fail "installed-get: exit status $?"
    says installed-get out "eu"
else
    fail "install: $(tail -n 3 install.log)"
fi

run 1 no-library register no/such/libpravell.so
says no-library err "pravell: cannot find the library no/such/libpravell.so: No such file or directory"
printf 'not a library' >fake.so
run 1 not-a-library register fake.so
grep -q "^pravell: cannot load $PWD/fake.so: " not-a-library.err || fail "not-a-library: message"
run 1 not-pravell register "$(ldd "$tool" | awk '/libc\.so/ { print $3 }')"
grep -q "exports no DllRegisterServer: it is not a Pravell library$" not-pravell.err ||
    fail "not-pravell: message"
finish
