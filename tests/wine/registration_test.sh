#!/usr/bin/env bash
# Registers or unregisters the component with the platform's regsvr32 and checks the registry
# with the platform's reg: after registration every key of ours is there, after unregistration
# none is left.
#   registration_test.sh register|unregister PATH/pravell.dll
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
action="$1"
cd "$(dirname "$2")"
dll="$(basename "$2")"

keys=(
    'HKCR\Corvantis.XMLModel\CLSID'
    'HKCR\Corvantis.StreamingXMLParser\CLSID'
    'HKCR\CLSID\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}\InProcServer32'
    'HKCR\CLSID\{383E79E8-41E0-4C05-808E-7D9CEF73BF8C}\InProcServer32'
    'HKCR\TypeLib\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}\1.0\0\win64'
    'HKCR\TypeLib\{4912BE5F-26CC-42B3-A464-43445DB0E09F}\1.0\0\win64'
    'HKCR\Interface\{55194065-FA71-40CA-B27D-D051A195AF25}'
    'HKCR\Interface\{79414458-7B2B-4137-98FC-894159DDBE96}'
)
present() { "$here/wine-run" reg query "$1" >/dev/null 2>&1; }

failed=0
if [ "$action" = register ]; then
    "$here/wine-run" regsvr32 /s "$dll" || { echo "regsvr32 $dll failed"; exit 1; }
    for key in "${keys[@]}"; do
        present "$key" || { echo "missing after registration: $key"; failed=1; }
    done
else
    "$here/wine-run" regsvr32 /u /s "$dll" || { echo "regsvr32 /u $dll failed"; exit 1; }
    for key in "${keys[@]}" 'HKCR\Corvantis.XMLModel' 'HKCR\Corvantis.StreamingXMLParser' \
        'HKCR\CLSID\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}' \
        'HKCR\CLSID\{383E79E8-41E0-4C05-808E-7D9CEF73BF8C}' \
        'HKCR\TypeLib\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}' \
        'HKCR\TypeLib\{4912BE5F-26CC-42B3-A464-43445DB0E09F}'; do
        if present "$key"; then echo "left after unregistration: $key"; failed=1; fi
    done
fi
[ "$failed" -eq 0 ] && echo "$action: every key as it should be"
exit "$failed"
