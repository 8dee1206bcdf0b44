#!/usr/bin/env bash
# The menu entry and the software-centre metadata as the desktop's own validators read them,
# and the keyboard ids in the udev rule and the metadata against the ids the program knows.
#   validate_desktop_files.sh LINUX_DATA_DIR DEVICE_LINK_HEADER PROJECT_VERSION
set -euo pipefail
data=$1
header=$2
version=$3
desktop=$data/io.velkan.Velkan.desktop
metainfo=$data/io.velkan.Velkan.metainfo.xml
rules=$data/70-halvory-keyboard.rules

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
for tool in desktop-file-validate appstreamcli; do
    command -v $tool >/dev/null || {
        echo "FAIL: $tool is missing (scripts/test installs it)"
        exit 1
    }
done

# Hints count too: the validator prints nothing for a clean file.
if ! report=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$report" ]; then
    fail "desktop-file-validate: $report"
fi
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metadata"

# Every keyboard model the program recognises, and no other.
ids=$(grep -Eo 'kKeyboard[0-9]+\{0x[0-9A-Fa-f]{4}, 0x[0-9A-Fa-f]{4}' "$header" |
    grep -Eo '0x[0-9A-Fa-f]{4}, 0x[0-9A-Fa-f]{4}' | tr -d ' ' || true)
[ -n "$ids" ] || fail "no keyboard ids found in $header"
for pair in $ids; do
    vendor=${pair%%,*}
    product=${pair##*,}
    vendor=${vendor#0x}
    product=${product#0x}
    lower="ATTRS{idVendor}==\"${vendor,,}\", ATTRS{idProduct}==\"${product,,}\", TAG+=\"uaccess\""
    grep -q "^KERNEL==\"hidraw\*\", SUBSYSTEM==\"hidraw\", $lower\$" "$rules" ||
        fail "no udev rule for ${vendor}:${product}"
    grep -q "<modalias>usb:v${vendor^^}p${product^^}d\*</modalias>" "$metainfo" ||
        fail "no modalias for ${vendor}:${product}"
done
models=$(wc -w <<<"$ids")
[ "$(grep -c '^KERNEL==' "$rules")" -eq "$models" ] || fail "udev rules for other devices"
[ "$(grep -c '<modalias>' "$metainfo")" -eq "$models" ] || fail "modaliases for other devices"
# The seat user's ACL is the access; a mode would open the keyboards to every account.
! grep -Eq 'MODE:?=' "$rules" || fail "the udev rule sets a mode"

if [ "$failures" -ne 0 ]; then
    echo "$failures problems in the desktop files"
    exit 1
fi
echo "desktop files: all checks passed"
