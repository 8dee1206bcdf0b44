#!/usr/bin/env bash
# Installs the build under a scratch DESTDIR with the prefix the package uses and checks what a
# system gets: the program folder, the commands on the PATH and the desktop's files, and
# nothing else.
#   check_install_layout.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build=$1
scratch=$2
root=$scratch/root
rm -rf "$scratch"
mkdir -p "$scratch"
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
    cat "$scratch/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_file() {
    [ -f "$root/$1" ] && [ -s "$root/$1" ] || fail "missing or empty: /$1"
}

program=usr/lib/velkan
for tool in velkan velkanctl; do
    [ -x "$root/$program/$tool" ] || fail "not an executable: /$program/$tool"
    # Relative, so the link works in DESTDIR, in the package and on the system alike.
    link=$(readlink "$root/usr/bin/$tool" || true)
    [ "$link" = "../lib/velkan/$tool" ] || fail "/usr/bin/$tool links to '$link'"
done
expect_file $program/Lang0409.ini
expect_file $program/Help/index.html
expect_file $program/Skins/UserDengColor_3.userd
[ -n "$(find "$root/$program/Skins" -name '*.ini')" ] || fail "no skin layout in /$program/Skins"
for icon in velkan tray_128 tray_141 tray_142; do
    expect_file "$program/Icons/$icon.png"
done
[ ! -e "$root/$program/Icons/hicolor" ] || fail "the theme icons are in the program folder too"

expect_file usr/share/applications/io.velkan.Velkan.desktop
expect_file usr/share/metainfo/io.velkan.Velkan.metainfo.xml
expect_file usr/lib/udev/rules.d/70-halvory-keyboard.rules
for side in 16 22 24 32 48 64 128 256; do
    expect_file "usr/share/icons/hicolor/${side}x${side}/apps/velkan.png"
done

# No build tool, test or library slips into the system.
unexpected=$(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | grep -Ev \
    "^($program/|usr/bin/velkan(ctl)?$|usr/share/(applications|metainfo|icons/hicolor)/|usr/lib/udev/rules.d/70-halvory-keyboard.rules$)" ||
    true)
[ -z "$unexpected" ] || fail "installed but not part of the layout: $unexpected"
extra=$(find "$root/$program" -maxdepth 1 -type f -perm -u+x ! -name velkan ! -name velkanctl)
[ -z "$extra" ] || fail "other programs in the program folder: $extra"

# Started through its link, the tool still finds the language file beside its real executable.
home=$scratch/home
mkdir -p "$home"
message=$(HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
    "$root/usr/bin/velkanctl" check "$scratch/no such profile" 2>&1 || true)
case $message in
*"is not a valid profile file."*) ;;
*) fail "velkanctl through /usr/bin said: $message" ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures problems in the installed layout"
    exit 1
fi
echo "install layout: all checks passed"
