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
